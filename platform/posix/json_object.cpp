#include "platform/posix/json_object.h"

#include <array>
#include <charconv>
#include <cstdio>

#include "platform/ansi_code_page.h"

namespace vorn::platform::posix {
namespace {

// A reader over the text; every step reports whether the text was as expected.
class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  std::optional<JsonObject> object() {
    JsonObject result;
    if (!consume('{')) return std::nullopt;
    if (!consume('}')) {
      do {
        std::string key;
        if (!string(key) || !consume(':')) return std::nullopt;
        skipSpace();
        if (text_.substr(pos_).starts_with("null")) {
          pos_ += 4;
        } else {
          auto value = scalar();
          if (!value) return std::nullopt;
          result.set(key, std::move(*value));
        }
      } while (consume(','));
      if (!consume('}')) return std::nullopt;
    }
    skipSpace();
    if (pos_ != text_.size()) return std::nullopt;
    return result;
  }

 private:
  void skipSpace() {
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t' || text_[pos_] == '\n' || text_[pos_] == '\r')) {
      ++pos_;
    }
  }

  bool consume(char expected) {
    skipSpace();
    if (pos_ >= text_.size() || text_[pos_] != expected) return false;
    ++pos_;
    return true;
  }

  std::optional<JsonObject::Value> scalar() {
    std::string_view rest = text_.substr(pos_);
    if (rest.starts_with("true")) {
      pos_ += 4;
      return true;
    }
    if (rest.starts_with("false")) {
      pos_ += 5;
      return false;
    }
    if (!rest.empty() && rest.front() == '"') {
      std::string value;
      if (!string(value)) return std::nullopt;
      return value;
    }
    std::int64_t number = 0;
    const auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), number);
    if (ec != std::errc() || end == rest.data()) return std::nullopt;
    pos_ += static_cast<std::size_t>(end - rest.data());
    // A fraction or an exponent is no integer of ours.
    if (pos_ < text_.size() && (text_[pos_] == '.' || text_[pos_] == 'e' || text_[pos_] == 'E')) return std::nullopt;
    return number;
  }

  bool string(std::string& out) {
    if (!consume('"')) return false;
    while (pos_ < text_.size()) {
      const char c = text_[pos_++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return false;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (pos_ >= text_.size()) return false;
      switch (const char escape = text_[pos_++]) {
        case '"': case '\\': case '/': out += escape; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
          char32_t unit = 0;
          if (!hex4(unit)) return false;
          if (unit >= 0xD800 && unit < 0xDC00) {  // a surrogate pair
            char32_t low = 0;
            if (!text_.substr(pos_).starts_with("\\u")) return false;
            pos_ += 2;
            if (!hex4(low) || low < 0xDC00 || low > 0xDFFF) return false;
            unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
          } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            return false;
          }
          appendUtf8(out, unit);
          break;
        }
        default: return false;
      }
    }
    return false;
  }

  bool hex4(char32_t& value) {
    if (text_.size() - pos_ < 4) return false;
    unsigned parsed = 0;
    const char* begin = text_.data() + pos_;
    const auto [end, ec] = std::from_chars(begin, begin + 4, parsed, 16);
    if (ec != std::errc() || end != begin + 4) return false;
    pos_ += 4;
    value = parsed;
    return true;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

}  // namespace

void appendJsonQuoted(std::string& out, std::string_view utf8) {
  out += '"';
  for (const char c : utf8) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          std::array<char, 8> escaped{};
          std::snprintf(escaped.data(), escaped.size(), "\\u%04x", static_cast<unsigned>(c));
          out += escaped.data();
        } else {
          out += c;
        }
    }
  }
  out += '"';
}

void JsonObject::set(std::string_view key, Value value) {
  for (auto& [name, current] : members_) {
    if (name == key) {
      current = std::move(value);
      return;
    }
  }
  members_.emplace_back(std::string(key), std::move(value));
}

const JsonObject::Value* JsonObject::find(std::string_view key) const {
  for (const auto& [name, value] : members_) {
    if (name == key) return &value;
  }
  return nullptr;
}

const std::string* JsonObject::text(std::string_view key) const {
  const Value* value = find(key);
  return value != nullptr ? std::get_if<std::string>(value) : nullptr;
}

std::optional<std::int64_t> JsonObject::integer(std::string_view key) const {
  const Value* value = find(key);
  if (value == nullptr || !std::holds_alternative<std::int64_t>(*value)) return std::nullopt;
  return std::get<std::int64_t>(*value);
}

std::optional<bool> JsonObject::boolean(std::string_view key) const {
  const Value* value = find(key);
  if (value == nullptr || !std::holds_alternative<bool>(*value)) return std::nullopt;
  return std::get<bool>(*value);
}

std::string JsonObject::serialize() const {
  std::string out = "{";
  for (const auto& [name, value] : members_) {
    if (out.size() > 1) out += ',';
    appendJsonQuoted(out, name);
    out += ':';
    if (const auto* text = std::get_if<std::string>(&value)) {
      appendJsonQuoted(out, *text);
    } else if (const auto* number = std::get_if<std::int64_t>(&value)) {
      out += std::to_string(*number);
    } else {
      out += std::get<bool>(value) ? "true" : "false";
    }
  }
  out += "}\n";
  return out;
}

std::optional<JsonObject> JsonObject::parse(std::string_view text) { return Parser(text).object(); }

}  // namespace vorn::platform::posix
