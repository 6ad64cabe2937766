// Reads the event log back: a strict parser for the one JSON object shape an
// event line has, so that a malformed line fails the test that reads it.
#include "tests/support/test_support.h"

#include "platform/ansi_code_page.h"

#include <fstream>
#include <set>
#include <stdexcept>

namespace vorn::test {
namespace {

class Cursor {
 public:
  explicit Cursor(std::string_view text) : text_(text) {}

  void skipSpace() {
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t')) ++pos_;
  }
  bool peek(char c) {
    skipSpace();
    return pos_ < text_.size() && text_[pos_] == c;
  }
  void expect(char c) {
    if (!peek(c)) fail(std::string("'") + c + "' expected");
    ++pos_;
  }
  bool atEnd() {
    skipSpace();
    return pos_ == text_.size();
  }

  std::string string() {
    expect('"');
    std::string out;
    while (true) {
      if (pos_ >= text_.size()) fail("unterminated string");
      const char c = text_[pos_++];
      if (c == '"') return out;
      if (static_cast<unsigned char>(c) < 0x20) fail("control character in a string");
      if (c != '\\') {
        out.push_back(c);
        continue;
      }
      if (pos_ >= text_.size()) fail("unterminated escape");
      switch (const char e = text_[pos_++]) {
        case '"': case '\\': case '/': out.push_back(e); break;
        case 'b': out.push_back('\b'); break;
        case 'f': out.push_back('\f'); break;
        case 'n': out.push_back('\n'); break;
        case 'r': out.push_back('\r'); break;
        case 't': out.push_back('\t'); break;
        case 'u': platform::appendUtf8(out, codePoint()); break;
        default: fail("invalid escape");
      }
    }
  }

  std::int64_t integer() {
    skipSpace();
    const std::size_t start = pos_;
    if (pos_ < text_.size() && text_[pos_] == '-') ++pos_;
    while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') ++pos_;
    const std::string digits(text_.substr(start, pos_ - start));
    if (digits.empty() || digits == "-") fail("number expected");
    return std::stoll(digits);
  }

  bool null() {
    skipSpace();
    if (text_.substr(pos_, 4) != "null") return false;
    pos_ += 4;
    return true;
  }

  [[noreturn]] void fail(const std::string& what) const {
    throw std::runtime_error("event line, column " + std::to_string(pos_ + 1) + ": " + what + ": " +
                             std::string(text_));
  }

 private:
  char32_t hex4() {
    if (pos_ + 4 > text_.size()) fail("short \\u escape");
    char32_t value = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = text_[pos_++];
      value <<= 4;
      if (c >= '0' && c <= '9') value |= static_cast<char32_t>(c - '0');
      else if (c >= 'a' && c <= 'f') value |= static_cast<char32_t>(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F') value |= static_cast<char32_t>(c - 'A' + 10);
      else fail("bad \\u escape");
    }
    return value;
  }

  char32_t codePoint() {
    const char32_t first = hex4();
    if (first < 0xD800 || first > 0xDBFF) return first;
    if (text_.substr(pos_, 2) != "\\u") fail("unpaired surrogate");
    pos_ += 2;
    const char32_t second = hex4();
    return 0x10000 + ((first - 0xD800) << 10) + (second - 0xDC00);
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

}  // namespace

LoggedEvent parseEventLine(std::string_view line) {
  Cursor in(line);
  LoggedEvent event;
  std::set<std::string> seen;
  in.expect('{');
  do {
    const std::string key = in.string();
    if (!seen.insert(key).second) in.fail("duplicate member " + key);
    in.expect(':');
    if (key == "time") {
      event.time = in.string();
    } else if (key == "source") {
      event.source = in.string();
    } else if (key == "type") {
      event.type = in.string();
    } else if (key == "id") {
      event.id = static_cast<std::uint32_t>(in.integer());
    } else if (key == "category") {
      event.category = static_cast<std::uint32_t>(in.integer());
    } else if (key == "pid") {
      event.pid = in.integer();
    } else if (key == "strings") {
      in.expect('[');
      if (!in.peek(']')) {
        do {
          if (in.null()) {
            event.strings.emplace_back(std::nullopt);
          } else {
            event.strings.emplace_back(in.string());
          }
          if (!in.peek(',')) break;
          in.expect(',');
        } while (true);
      }
      in.expect(']');
    } else {
      in.fail("unknown member " + key);
    }
    if (!in.peek(',')) break;
    in.expect(',');
  } while (true);
  in.expect('}');
  if (!in.atEnd()) in.fail("text after the object");
  if (seen.size() != 7) in.fail("missing members");
  return event;
}

std::vector<LoggedEvent> readEvents(const std::filesystem::path& root) {
  std::vector<LoggedEvent> events;
  std::ifstream file(root / "log" / "events.jsonl", std::ios::binary);
  if (!file) return events;
  std::string line;
  while (std::getline(file, line)) events.push_back(parseEventLine(line));
  return events;
}

}  // namespace vorn::test
