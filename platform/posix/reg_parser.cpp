#include "platform/posix/reg_parser.h"

#include <algorithm>
#include <array>
#include <vector>

#include "platform/ansi_code_page.h"
#include "platform/posix/reg_file_format.h"
#include "platform/registry.h"

namespace vorn::platform::posix {
namespace {

// The Windows-1252 byte of a code point; '?' when the code page lacks it.
char ansiFromCodePoint(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
  for (unsigned b = 0x80; b < 0xA0; ++b) {
    if (unicodeFromAnsi(static_cast<std::uint8_t>(b)) == cp) return static_cast<char>(b);
  }
  return '?';
}

// UTF-16LE data of a text value as the ANSI API returns it: one byte per
// character; an unpaired surrogate becomes '?', a lone last byte is dropped.
std::vector<std::uint8_t> ansiFromUtf16Data(std::span<const std::uint8_t> data) {
  std::vector<std::uint8_t> out;
  out.reserve(data.size() / 2);
  const std::size_t units = data.size() / 2;
  for (std::size_t i = 0; i < units; ++i) {
    const char32_t unit = data[2 * i] | (data[2 * i + 1] << 8);
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units) {
      const char32_t low = data[2 * i + 2] | (data[2 * i + 3] << 8);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        out.push_back('?');  // a supplementary character: never in Windows-1252
        ++i;
        continue;
      }
    }
    out.push_back(static_cast<std::uint8_t>(ansiFromCodePoint(unit >= 0xD800 && unit <= 0xDFFF ? U'?' : unit)));
  }
  return out;
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimLeft(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  return s;
}

std::string_view trimRight(std::string_view s) {
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && equalsIgnoringCase(s.substr(0, prefix.size()), prefix);
}

// A fault found while parsing; caught at the top and turned into the result.
struct ParseFault {
  std::size_t line;
  std::string reason;
};

// Decodes UTF-16LE file text (after its byte-order mark) into UTF-8.
std::string utf8FromUtf16File(std::span<const std::uint8_t> bytes) {
  std::string out;
  out.reserve(bytes.size() / 2);
  std::size_t line = 1;
  if (bytes.size() % 2 != 0) throw ParseFault{1, "UTF-16 text with an odd number of bytes"};
  const std::size_t units = bytes.size() / 2;
  for (std::size_t i = 0; i < units; ++i) {
    char32_t cp = bytes[2 * i] | (bytes[2 * i + 1] << 8);
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < units) {
      const char32_t low = bytes[2 * i + 2] | (bytes[2 * i + 3] << 8);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      }
    }
    if (cp >= 0xD800 && cp <= 0xDFFF) throw ParseFault{line, "invalid UTF-16 text"};
    if (cp == '\n') ++line;
    appendUtf8(out, cp);
  }
  return out;
}

class Parser {
 public:
  Parser(std::string_view text, bool textIsUtf8) : textIsUtf8_(textIsUtf8) {
    // Lines end in LF or CRLF; the last one may lack its end.
    while (!text.empty()) {
      const std::size_t end = text.find('\n');
      std::string_view line = text.substr(0, end);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      lines_.push_back(line);
      if (end == std::string_view::npos) break;
      text.remove_prefix(end + 1);
    }
  }

  RegTree parse() {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
      if (lines_[i].find_first_of(std::string_view("\r\0", 2)) != std::string_view::npos) {
        throw ParseFault{i + 1, "control character in the text"};
      }
    }
    if (lines_.empty()) throw ParseFault{1, "missing header"};
    const std::string_view header = trimRight(lines_[0]);
    if (header == kVersion5Header) {
      version5_ = true;
    } else if (header != kRegedit4Header) {
      throw ParseFault{1, "unknown header"};
    }
    for (index_ = 1; index_ < lines_.size(); ++index_) parseLine(trimLeft(lines_[index_]));
    return std::move(tree_);
  }

 private:
  std::size_t lineNumber() const { return index_ + 1; }
  [[noreturn]] void fail(std::string reason) const { throw ParseFault{lineNumber(), std::move(reason)}; }

  std::string toAnsi(std::string_view text) const { return textIsUtf8_ ? ansiFromUtf8(text) : std::string(text); }

  void parseLine(std::string_view line) {
    if (line.empty() || line.front() == ';') return;
    if (line.front() == '[') return parseKeyLine(trimRight(line));
    if (line.front() == '"' || line.front() == '@') return parseValueLine(line);
    fail("unexpected text");
  }

  void parseKeyLine(std::string_view line) {
    if (line.size() < 2 || line.back() != ']') fail("key name without its closing bracket");
    std::string_view inner = line.substr(1, line.size() - 2);
    const bool deletion = !inner.empty() && inner.front() == '-';
    if (deletion) inner.remove_prefix(1);
    const std::string path = toAnsi(inner);
    const auto parts = splitKeyPath(path);
    if (!parts) fail("invalid key name");
    // A Unicode file's names keep what the ANSI code page cannot hold.
    const std::string_view unicodePath = textIsUtf8_ ? inner : std::string_view{};
    if (deletion) {
      if (parts->size() == 1) fail("a root key cannot be deleted");
      tree_.removeKey(path, unicodePath);
      current_ = nullptr;
    } else {
      current_ = &tree_.createKey(path, unicodePath);
    }
  }

  // A string in double quotes at `pos`, with its escapes resolved; `pos` moves past it.
  std::string parseQuoted(std::string_view line, std::size_t& pos) const {
    std::string raw;
    for (std::size_t i = pos + 1; i < line.size(); ++i) {
      const char c = line[i];
      if (c == '"') {
        pos = i + 1;
        return raw;
      }
      if (c == '\\') {
        if (i + 1 >= line.size() || (line[i + 1] != '\\' && line[i + 1] != '"')) fail("invalid escape in a string");
        raw.push_back(line[++i]);
      } else {
        raw.push_back(c);
      }
    }
    fail("unterminated string");
  }

  void expectEnd(std::string_view rest) const {
    if (!trimLeft(rest).empty()) fail("unexpected text after the value");
  }

  void parseValueLine(std::string_view line) {
    if (current_ == nullptr) fail("value outside of a key");
    std::size_t pos = 0;
    std::string name;
    if (line.front() == '@') {
      pos = 1;
    } else {
      name = toAnsi(parseQuoted(line, pos));
      if (name.size() > kMaxValueNameLength) fail("value name too long");
    }
    std::string_view rest = trimLeft(line.substr(pos));
    if (rest.empty() || rest.front() != '=') fail("'=' expected after the value name");
    rest = trimLeft(rest.substr(1));

    if (!rest.empty() && rest.front() == '"') {
      std::size_t end = 0;
      std::string text = toAnsi(parseQuoted(rest, end));
      expectEnd(rest.substr(end));
      current_->setString(name, text);
    } else if (!rest.empty() && rest.front() == '-') {
      expectEnd(rest.substr(1));
      current_->removeValue(name);
    } else if (startsWithNoCase(rest, "dword:")) {
      current_->setDword(name, parseDword(rest.substr(6)));
    } else if (startsWithNoCase(rest, "hex")) {
      parseHexValue(name, rest.substr(3));
    } else {
      fail("invalid value data");
    }
  }

  std::uint32_t parseDword(std::string_view digits) const {
    std::uint32_t value = 0;
    std::size_t count = 0;
    while (count < digits.size() && hexDigit(digits[count]) >= 0) {
      value = (value << 4) | static_cast<std::uint32_t>(hexDigit(digits[count]));
      ++count;
    }
    if (count == 0 || count > 8) fail("invalid dword value");
    expectEnd(digits.substr(count));
    return value;
  }

  // After "hex": an optional "(type)", then ':' and the bytes.
  void parseHexValue(const std::string& name, std::string_view rest) {
    std::uint32_t type = kRegBinary;
    if (!rest.empty() && rest.front() == '(') {
      std::size_t count = 0;
      type = 0;
      while (1 + count < rest.size() && hexDigit(rest[1 + count]) >= 0) {
        type = (type << 4) | static_cast<std::uint32_t>(hexDigit(rest[1 + count]));
        ++count;
      }
      if (count == 0 || count > 8 || 1 + count >= rest.size() || rest[1 + count] != ')') fail("invalid hex type");
      rest.remove_prefix(count + 2);
    }
    if (rest.empty() || rest.front() != ':') fail("':' expected after hex");
    std::vector<std::uint8_t> data = parseHexBytes(rest.substr(1));
    if (version5_ && isTextType(type)) data = ansiFromUtf16Data(data);
    current_->setValue(name, type, std::move(data));
  }

  // Comma-separated bytes of one or two hex digits; a backslash at the end of
  // a line continues the data on the next line.
  std::vector<std::uint8_t> parseHexBytes(std::string_view segment) {
    std::vector<std::uint8_t> bytes;
    bool expectByte = true;
    std::size_t i = 0;
    while (i < segment.size()) {
      const char c = segment[i];
      if (isBlank(c)) {
        ++i;
      } else if (hexDigit(c) >= 0) {
        if (!expectByte) fail("',' expected between hex bytes");
        int value = hexDigit(c);
        ++i;
        if (i < segment.size() && hexDigit(segment[i]) >= 0) value = (value << 4) | hexDigit(segment[i++]);
        if (i < segment.size() && hexDigit(segment[i]) >= 0) fail("invalid hex byte");
        bytes.push_back(static_cast<std::uint8_t>(value));
        expectByte = false;
      } else if (c == ',') {
        if (expectByte) fail("hex byte expected");
        expectByte = true;
        ++i;
      } else if (c == '\\' && trimLeft(segment.substr(i + 1)).empty()) {
        if (index_ + 1 >= lines_.size()) fail("continuation at the end of the file");
        ++index_;
        segment = lines_[index_];
        i = 0;
      } else {
        fail("invalid hex data");
      }
    }
    if (expectByte && !bytes.empty()) fail("hex byte expected");
    return bytes;
  }

  std::vector<std::string_view> lines_;
  std::size_t index_ = 0;
  bool textIsUtf8_;
  bool version5_ = false;
  RegTree tree_;
  RegKey* current_ = nullptr;
};

RegParseResult parseText(std::span<const std::uint8_t> bytes) {
  constexpr std::array<std::uint8_t, 2> kUtf16Bom = {0xFF, 0xFE};
  constexpr std::array<std::uint8_t, 3> kUtf8Bom = {0xEF, 0xBB, 0xBF};
  std::string decoded;
  std::string_view text;
  bool textIsUtf8;
  if (bytes.size() >= 2 && std::equal(kUtf16Bom.begin(), kUtf16Bom.end(), bytes.begin())) {
    decoded = utf8FromUtf16File(bytes.subspan(2));
    text = decoded;
    textIsUtf8 = true;
  } else {
    const bool utf8Bom = bytes.size() >= 3 && std::equal(kUtf8Bom.begin(), kUtf8Bom.end(), bytes.begin());
    if (utf8Bom) bytes = bytes.subspan(3);
    text = std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    // Without a mark the header tells: version 5 text is UTF-8, REGEDIT4 text 8-bit.
    textIsUtf8 = utf8Bom || !text.starts_with(kRegedit4Header);
    if (textIsUtf8 && !isValidUtf8(text)) {
      std::size_t line = 1;
      // Report the first line that is not valid UTF-8.
      for (std::string_view rest = text; !rest.empty();) {
        const std::size_t end = rest.find('\n');
        if (!isValidUtf8(rest.substr(0, end))) break;
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 1);
        ++line;
      }
      throw ParseFault{line, "invalid UTF-8 text"};
    }
  }
  RegParseResult result;
  result.tree = Parser(text, textIsUtf8).parse();
  return result;
}

}  // namespace

RegParseResult parseRegFile(std::span<const std::uint8_t> bytes, std::string_view fileName) {
  try {
    return parseText(bytes);
  } catch (const ParseFault& fault) {
    RegParseResult result;
    result.errorLine = fault.line;
    result.error = std::string(fileName) + ':' + std::to_string(fault.line) + ": " + fault.reason;
    return result;
  }
}

RegParseResult parseRegFile(std::string_view bytes, std::string_view fileName) {
  return parseRegFile(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), fileName);
}

}  // namespace vorn::platform::posix
