#include "platform/regfile/reg_writer.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <stdexcept>
#include <vector>

#include "platform/ansi_code_page.h"
#include "platform/registry.h"

namespace vorn::platform::regfile {
namespace {

void appendEscapedQuoted(std::string& out, std::string_view ansi, bool utf8) {
  out.push_back('"');
  for (const char c : ansi) {
    if (c == '\\' || c == '"') out.push_back('\\');
    if (utf8) {
      appendUtf8(out, unicodeFromAnsi(static_cast<std::uint8_t>(c)));
    } else {
      out.push_back(c);
    }
  }
  out.push_back('"');
}

void checkWritableName(std::string_view name) {
  if (name.find_first_of(std::string_view("\0\r\n", 3)) != std::string_view::npos) {
    throw std::invalid_argument("a registry name with a zero byte or a line end cannot be written");
  }
}

// REG_SZ data that the quoted form holds exactly: text without control
// characters (tabs aside) and one terminating zero.
bool quotable(const RegValue& value) {
  if (value.type != kRegSz || value.data.empty() || value.data.back() != 0) return false;
  return std::all_of(value.data.begin(), value.data.end() - 1, [](std::uint8_t b) { return b >= 0x20 || b == '\t'; });
}

class Writer {
 public:
  Writer(RegFileFormat format, std::string_view lineEnd)
      : version5_(format != RegFileFormat::kRegedit4), lineEnd_(lineEnd) {}

  std::string write(const RegTree& tree) {
    out_ = version5_ ? kVersion5Header : kRegedit4Header;
    out_ += lineEnd_;
    out_ += lineEnd_;
    for (const RegKey* hive : tree.root().subkeys()) writeKey(*hive, nameOf(*hive));
    return std::move(out_);
  }

  // `path`: 8-bit, as the ANSI calls name the key.
  std::string header(std::string_view path) {
    checkWritableName(path);
    writeHeader(version5_ ? utf8FromAnsi(path) : std::string(path));
    return std::move(out_);
  }

  std::string value(const RegValue& value) {
    writeValue(value);
    return std::move(out_);
  }

 private:
  // A key's name as the file spells it: UTF-8, holding what the ANSI code
  // page lacks, in a Unicode file; the ANSI name in a REGEDIT4 one, which
  // cannot hold a name the code page lacks characters of.
  std::string nameOf(const RegKey& key) const {
    if (version5_) return key.unicodeName();
    if (key.unicodeName() != utf8FromAnsi(key.name()))
      throw std::invalid_argument("a key name the ANSI code page cannot hold needs a Unicode registry file");
    return key.name();
  }

  // `path`: the key's path as the file spells it.
  void writeKey(const RegKey& key, const std::string& path) {
    checkWritableName(key.name());
    const auto subkeys = key.subkeys();
    // Keys with subkeys and no values come back implicitly with their subkeys.
    if (!key.values().empty() || subkeys.empty()) {
      writeHeader(path);
      for (const RegValue& value : key.values()) writeValue(value);
      out_ += lineEnd_;
    }
    for (const RegKey* child : subkeys) writeKey(*child, path + '\\' + nameOf(*child));
  }

  // `path`: as the file spells it.
  void writeHeader(std::string_view path) {
    out_ += '[';
    out_ += path;
    out_ += ']';
    out_ += lineEnd_;
  }

  void writeValue(const RegValue& value) {
    checkWritableName(value.name);
    const std::size_t lineStart = out_.size();
    if (value.name.empty()) {
      out_ += '@';
    } else {
      appendEscapedQuoted(out_, value.name, version5_);
    }
    out_ += '=';
    if (quotable(value)) {
      appendEscapedQuoted(out_, std::string_view(reinterpret_cast<const char*>(value.data.data()), value.data.size() - 1),
                          version5_);
    } else if (value.type == kRegDword && value.data.size() == 4) {
      std::array<char, 16> digits{};
      const std::uint32_t v = value.data[0] | (value.data[1] << 8) | (value.data[2] << 16) |
                              (static_cast<std::uint32_t>(value.data[3]) << 24);
      std::snprintf(digits.data(), digits.size(), "dword:%08x", v);
      out_ += digits.data();
    } else {
      writeHex(value, lineStart);
    }
    out_ += lineEnd_;
  }

  void writeHex(const RegValue& value, std::size_t lineStart) {
    if (value.type == kRegBinary) {
      out_ += "hex:";
    } else {
      std::array<char, 24> prefix{};
      std::snprintf(prefix.data(), prefix.size(), "hex(%x):", value.type);
      out_ += prefix.data();
    }
    std::vector<std::uint8_t> bytes;
    if (version5_ && isTextType(value.type)) {
      for (const std::uint8_t b : value.data) {
        const char32_t unit = unicodeFromAnsi(b);
        bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
      }
    } else {
      bytes.assign(value.data.begin(), value.data.end());
    }
    // Lines of at most 80 characters, as Windows writes them.
    std::size_t column = out_.size() - lineStart;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      std::array<char, 4> digits{};
      std::snprintf(digits.data(), digits.size(), "%02x", bytes[i]);
      out_ += digits.data();
      column += 2;
      if (i + 1 < bytes.size()) {
        out_ += ',';
        ++column;
        if (column > 76) {
          out_ += '\\';
          out_ += lineEnd_;
          out_ += "  ";
          column = 2;
        }
      }
    }
  }

  bool version5_;
  std::string_view lineEnd_;
  std::string out_;
};

}  // namespace

std::string utf16FileFromUtf8(std::string_view utf8) {
  std::string out = "\xFF\xFE";
  out.reserve(2 + utf8.size() * 2);
  for (std::size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<std::uint8_t>(utf8[i]);
    char32_t cp;
    std::size_t extra;
    if (lead < 0x80) {
      cp = lead, extra = 0;
    } else if ((lead & 0xE0) == 0xC0) {
      cp = lead & 0x1Fu, extra = 1;
    } else if ((lead & 0xF0) == 0xE0) {
      cp = lead & 0x0Fu, extra = 2;
    } else {
      cp = lead & 0x07u, extra = 3;
    }
    for (std::size_t k = 1; k <= extra && i + k < utf8.size(); ++k) {
      cp = (cp << 6) | (static_cast<std::uint8_t>(utf8[i + k]) & 0x3Fu);
    }
    i += extra + 1;
    auto putUnit = [&out](char32_t unit) {
      out.push_back(static_cast<char>(unit & 0xFF));
      out.push_back(static_cast<char>((unit >> 8) & 0xFF));
    };
    if (cp >= 0x10000) {
      putUnit(0xD800 + ((cp - 0x10000) >> 10));
      putUnit(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      putUnit(cp);
    }
  }
  return out;
}

std::string writeRegFile(const RegTree& tree, RegFileFormat format) {
  std::string text = Writer(format, "\r\n").write(tree);
  return format == RegFileFormat::kVersion5Utf16 ? utf16FileFromUtf8(text) : text;
}

std::string regKeyHeaderText(std::string_view path, RegFileFormat format, std::string_view lineEnd) {
  return Writer(format, lineEnd).header(path);
}

std::string regValueText(const RegValue& value, RegFileFormat format, std::string_view lineEnd) {
  return Writer(format, lineEnd).value(value);
}

}  // namespace vorn::platform::regfile
