#include "platform/regfile/reg_parser.h"

#include <algorithm>
#include <array>
#include <memory>
#include <vector>

#include "platform/ansi_code_page.h"
#include "platform/registry.h"

namespace vorn::platform::regfile {
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

// The value of each byte as a hex digit, -1 for the others.
constexpr std::array<std::int8_t, 256> kHexDigits = [] {
  std::array<std::int8_t, 256> digits{};
  digits.fill(-1);
  for (int c = '0'; c <= '9'; ++c) digits[c] = static_cast<std::int8_t>(c - '0');
  for (int c = 'a'; c <= 'f'; ++c) digits[c] = static_cast<std::int8_t>(c - 'a' + 10);
  for (int c = 'A'; c <= 'F'; ++c) digits[c] = static_cast<std::int8_t>(c - 'A' + 10);
  return digits;
}();

int hexDigit(char c) { return kHexDigits[static_cast<std::uint8_t>(c)]; }

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && equalsIgnoringCase(s.substr(0, prefix.size()), prefix);
}

// A fault found while parsing; caught at the top and turned into the result.
struct ParseFault {
  std::size_t line;
  std::string reason;
};

// The 1-based line of a byte offset.
std::size_t lineOf(std::string_view text, std::size_t offset) {
  return 1 + static_cast<std::size_t>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(offset), '\n'));
}

// Decodes UTF-16LE file text (after its byte-order mark) into UTF-8.
std::string utf8FromUtf16File(std::span<const std::uint8_t> bytes) {
  std::string out;
  out.reserve(bytes.size() / 2);
  std::size_t line = 1;
  if (bytes.size() % 2 != 0) throw ParseFault{1, "UTF-16 text with an odd number of bytes"};
  const std::size_t units = bytes.size() / 2;
  for (std::size_t i = 0; i < units; ++i) {
    char32_t cp = bytes[2 * i] | (bytes[2 * i + 1] << 8);
    if (cp < 0x80) {
      if (cp == '\n') ++line;
      out.push_back(static_cast<char>(cp));
      continue;
    }
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < units) {
      const char32_t low = bytes[2 * i + 2] | (bytes[2 * i + 3] << 8);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      }
    }
    if (cp >= 0xD800 && cp <= 0xDFFF) throw ParseFault{line, "invalid UTF-16 text"};
    appendUtf8(out, cp);
  }
  return out;
}

// A zero byte anywhere, or a carriage return that does not end a line, is a
// fault of the line that holds it.
void checkControlCharacters(std::string_view text) {
  std::size_t fault = text.find('\0');
  for (std::size_t pos = text.find('\r'); pos < fault; pos = text.find('\r', pos + 1)) {
    if (pos + 1 < text.size() && text[pos + 1] != '\n') {
      fault = pos;
      break;
    }
  }
  if (fault != std::string_view::npos) throw ParseFault{lineOf(text, fault), "control character in the text"};
}

class Parser {
 public:
  Parser(std::string_view text, bool textIsUtf8, std::string_view fileName, RegFileLayout* layout,
         std::vector<std::string>& warnings)
      : text_(text), textIsUtf8_(textIsUtf8), fileName_(fileName), layout_(layout), warnings_(warnings) {}

  // Fills `key` with the values of lines the parse of the whole file found
  // sound (a key's pending values): `text` holds value, comment and blank
  // lines only.
  static void readValueLines(const RegSource& source, std::size_t begin, std::size_t end, RegKey& key) {
    std::vector<std::string> none;
    Parser parser(source.text.substr(begin, end - begin), source.textIsUtf8, {}, nullptr, none);
    parser.version5_ = source.version5;
    parser.current_ = &key;
    parser.valueTarget_ = &key;
    std::string_view line;
    try {
      while (parser.nextLine(line)) parser.parseLine(trimLeft(line));
    } catch (const ParseFault&) {
      // Not reached: these lines were read once already.
    }
  }

  // `source`: the text the tree keeps for its keys' values.
  RegTree parse(RegSource source) {
    source_ = &tree_.keepSource(std::move(source));
    checkControlCharacters(text_);
    std::string_view line;
    if (!nextLine(line)) throw ParseFault{1, "missing header"};
    const std::string_view header = trimRight(line);
    if (header == kVersion5Header) {
      version5_ = true;
    } else if (header != kRegedit4Header) {
      throw ParseFault{1, "unknown header"};
    }
    if (layout_ != nullptr) layout_->preambleEnd = lineEnd_;
    while (nextLine(line)) parseLine(trimLeft(line));
    closePendingValues(text_.size());
    return std::move(tree_);
  }

 private:
  // The next line without its end (LF or CRLF; the last may lack it).
  bool nextLine(std::string_view& line) {
    if (lineEnd_ >= text_.size()) return false;
    lineBegin_ = lineEnd_;
    const std::size_t newline = text_.find('\n', lineBegin_);
    const std::size_t stop = newline == std::string_view::npos ? text_.size() : newline;
    lineEnd_ = newline == std::string_view::npos ? text_.size() : newline + 1;
    line = text_.substr(lineBegin_, stop - lineBegin_);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    ++lineNumber_;
    return true;
  }

  [[noreturn]] void fail(std::string reason) const { throw ParseFault{lineNumber_, std::move(reason)}; }

  std::string toAnsi(std::string_view text) const { return textIsUtf8_ ? ansiFromUtf8(text) : std::string(text); }

  void parseLine(std::string_view line) {
    if (line.empty() || line.front() == ';') return recordOtherLine();
    if (line.front() == '[') return parseKeyLine(trimRight(line));
    if (line.front() == '"' || line.front() == '@') return parseValueLine(line);
    fail("unexpected text");
  }

  void recordOtherLine() {
    if (layout_ == nullptr) return;
    if (layout_->sections.empty()) {
      layout_->preambleEnd = lineEnd_;
    } else {
      layout_->sections.back().items.push_back({lineBegin_, lineEnd_, false, false, {}});
    }
  }

  void parseKeyLine(std::string_view line) {
    closePendingValues(lineBegin_);  // the section before ends here
    if (line.size() < 2 || line.back() != ']') fail("key name without its closing bracket");
    std::string_view inner = line.substr(1, line.size() - 2);
    const bool deletion = !inner.empty() && inner.front() == '-';
    if (deletion) inner.remove_prefix(1);
    std::string path = toAnsi(inner);
    const auto parts = splitKeyPath(path);
    const bool skipped = !parts && hasOverlongComponent(path);
    if (!parts && !skipped) fail("invalid key name");
    // A Unicode file's names keep what the ANSI code page cannot hold.
    const std::string_view unicodePath = textIsUtf8_ ? inner : std::string_view{};
    if (skipped) {
      // Windows cannot hold such a key; the rest of the file still counts.
      warnings_.push_back(std::string(fileName_) + ':' + std::to_string(lineNumber_) +
                          ": key name longer than 255 characters: the key and its values are skipped");
      current_ = nullptr;
    } else if (deletion) {
      if (parts->size() == 1) fail("a root key cannot be deleted");
      tree_.removeKey(path, unicodePath);
      current_ = nullptr;
      openPath_.clear();
      openKeys_.clear();
    } else {
      current_ = &createKey(*parts, unicodePath);
    }
    skipping_ = skipped;
    if (!skipped && !deletion) pendingBegin_ = lineEnd_;
    if (layout_ != nullptr) {
      if (layout_->sections.empty()) layout_->preambleEnd = lineBegin_;
      const std::size_t depth = skipped ? 0 : reachableDepth(*parts, unicodePath);
      std::string canonical = skipped ? std::move(path) : joinPath(*parts);
      layout_->sections.push_back({lineBegin_, lineEnd_, std::move(canonical), depth, deletion, skipped, {}});
    }
  }

  // The value lines of the section that ends at `end` belong to its key.
  void closePendingValues(std::size_t end) {
    if (current_ != nullptr && pendingBegin_ != std::string_view::npos && end > pendingBegin_) {
      current_->addPendingValues(*source_, pendingBegin_, end);
    }
    pendingBegin_ = std::string_view::npos;
  }

  // Whether a path that is otherwise valid fails only for a name longer than
  // Windows allows.
  static bool hasOverlongComponent(std::string_view path) {
    bool overlong = false;
    std::size_t depth = 0;
    while (true) {
      const std::size_t slash = path.find('\\');
      const std::string_view part = path.substr(0, slash);
      if (part.empty() || ++depth > kMaxKeyDepth) return false;
      overlong = overlong || part.size() > kMaxKeyNameLength;
      if (slash == std::string_view::npos) break;
      path.remove_prefix(slash + 1);
    }
    return overlong;
  }

  // How many leading components of the path the ANSI names reach: all but
  // from the first one the code page cannot hold.
  static std::size_t reachableDepth(const std::vector<std::string_view>& parts, std::string_view unicodePath) {
    std::size_t depth = 0;
    for (; depth < parts.size(); ++depth) {
      const std::size_t slash = unicodePath.find('\\');
      const std::string_view unicodePart = unicodePath.substr(0, slash);
      if (depth > 0 && !unicodePath.empty() && RegKey::filingName(parts[depth], unicodePart) != parts[depth]) break;
      unicodePath = slash == std::string_view::npos ? std::string_view{} : unicodePath.substr(slash + 1);
    }
    return depth;
  }

  static std::string joinPath(const std::vector<std::string_view>& parts) {
    std::string path;
    for (const std::string_view part : parts) {
      if (!path.empty()) path += '\\';
      path += part;
    }
    return path;
  }

  // Keys mostly follow one another under the same parent: the keys of the
  // last path opened are kept, and only what differs from it is looked up.
  // `unicodePath`: the path as a Unicode file spells it (RegTree::createKey).
  RegKey& createKey(const std::vector<std::string_view>& parts, std::string_view unicodePath) {
    std::vector<std::string_view> unicodeParts;
    if (!unicodePath.empty()) {
      for (std::size_t start = 0;;) {
        const std::size_t slash = unicodePath.find('\\', start);
        unicodeParts.push_back(unicodePath.substr(start, slash - start));
        if (slash == std::string_view::npos) break;
        start = slash + 1;
      }
    }
    if (unicodeParts.size() != parts.size()) unicodeParts.assign(parts.size(), std::string_view{});
    unicodeParts.front() = {};  // a hive's name is always its canonical one
    std::vector<std::string> filed(parts.size());
    std::size_t common = 0;
    for (std::size_t i = 0; i < parts.size(); ++i) {
      filed[i] = RegKey::filingName(parts[i], unicodeParts[i]);
      if (common == i && i < openPath_.size() && regNamesEqual(filed[i], openPath_[i])) ++common;
    }
    openPath_.resize(common);
    openKeys_.resize(common);
    RegKey* key = common == 0 ? &tree_.root() : openKeys_.back();
    for (std::size_t i = common; i < parts.size(); ++i) {
      key = &key->subkey(parts[i], unicodeParts[i]);
      openPath_.push_back(std::move(filed[i]));
      openKeys_.push_back(key);
    }
    return *key;
  }

  // A string in double quotes at `pos`, with its escapes resolved; `pos` moves past it.
  std::string parseQuoted(std::string_view line, std::size_t& pos) const {
    std::string raw;
    std::size_t i = pos + 1;
    while (i < line.size()) {
      std::size_t run = i;
      while (run < line.size() && line[run] != '"' && line[run] != '\\') ++run;
      raw.append(line.data() + i, run - i);
      if (run == line.size()) break;
      if (line[run] == '"') {
        pos = run + 1;
        return raw;
      }
      if (run + 1 >= line.size() || (line[run + 1] != '\\' && line[run + 1] != '"')) fail("invalid escape in a string");
      raw.push_back(line[run + 1]);
      i = run + 2;
    }
    fail("unterminated string");
  }

  // The same check without building the string: its length in 8-bit
  // characters (a UTF-8 character is one).
  std::size_t skipQuoted(std::string_view line, std::size_t& pos) const {
    std::size_t chars = 0;
    for (std::size_t i = pos + 1; i < line.size(); ++i) {
      const char c = line[i];
      if (c == '"') {
        pos = i + 1;
        return chars;
      }
      if (c == '\\') {
        if (i + 1 >= line.size() || (line[i + 1] != '\\' && line[i + 1] != '"')) fail("invalid escape in a string");
        ++i;
      }
      if (!textIsUtf8_ || (static_cast<std::uint8_t>(c) & 0xC0) != 0x80) ++chars;
    }
    fail("unterminated string");
  }

  void expectEnd(std::string_view rest) const {
    if (!trimLeft(rest).empty()) fail("unexpected text after the value");
  }

  void parseValueLine(std::string_view line) {
    if (current_ == nullptr && !skipping_) fail("value outside of a key");
    // The whole file is checked line by line; values are kept only when a
    // key's pending lines are read (valueTarget_), names also for a layout.
    RegKey* const key = valueTarget_;
    const bool keepName = key != nullptr || layout_ != nullptr;
    const std::size_t begin = lineBegin_;
    std::size_t pos = 0;
    std::string name;
    if (line.front() == '@') {
      pos = 1;
    } else if (keepName) {
      name = toAnsi(parseQuoted(line, pos));
      if (name.size() > kMaxValueNameLength) fail("value name too long");
    } else if (skipQuoted(line, pos) > kMaxValueNameLength) {
      fail("value name too long");
    }
    std::string_view rest = trimLeft(line.substr(pos));
    if (rest.empty() || rest.front() != '=') fail("'=' expected after the value name");
    rest = trimLeft(rest.substr(1));

    bool deletion = false;
    if (!rest.empty() && rest.front() == '"') {
      std::size_t end = 0;
      if (key != nullptr) {
        const std::string text = toAnsi(parseQuoted(rest, end));
        expectEnd(rest.substr(end));
        key->setValueAsRead(name, kRegSz, RegData::terminatedText(text));
      } else {
        skipQuoted(rest, end);
        expectEnd(rest.substr(end));
      }
    } else if (!rest.empty() && rest.front() == '-') {
      expectEnd(rest.substr(1));
      deletion = true;
      if (key != nullptr) key->removeValueAsRead(name);
    } else if (startsWithNoCase(rest, "dword:")) {
      const std::uint32_t value = parseDword(rest.substr(6));
      if (key != nullptr) {
        key->setValueAsRead(name, kRegDword,
                            {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                             static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)});
      }
    } else if (startsWithNoCase(rest, "hex")) {
      parseHexValue(key, name, rest.substr(3));
    } else {
      fail("invalid value data");
    }
    if (layout_ != nullptr) layout_->sections.back().items.push_back({begin, lineEnd_, true, deletion, std::move(name)});
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
  void parseHexValue(RegKey* key, const std::string& name, std::string_view rest) {
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
    std::vector<std::uint8_t> data = parseHexBytes(rest.substr(1), key != nullptr);
    if (key == nullptr) return;
    if (version5_ && isTextType(type)) data = ansiFromUtf16Data(data);
    key->setValueAsRead(name, type, std::move(data));
  }

  // Comma-separated bytes of one or two hex digits; a backslash at the end of
  // a line continues the data on the next line. Only checked, unless `keep`.
  std::vector<std::uint8_t> parseHexBytes(std::string_view segment, bool keep) {
    std::vector<std::uint8_t> bytes;
    if (keep) bytes.reserve(segment.size() / 3 + 1);
    bool any = false;
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
        if (keep) bytes.push_back(static_cast<std::uint8_t>(value));
        any = true;
        expectByte = false;
      } else if (c == ',') {
        if (expectByte) fail("hex byte expected");
        expectByte = true;
        ++i;
      } else if (c == '\\' && trimLeft(segment.substr(i + 1)).empty()) {
        if (!nextLine(segment)) fail("continuation at the end of the file");
        i = 0;
      } else {
        fail("invalid hex data");
      }
    }
    if (expectByte && any) fail("hex byte expected");
    return bytes;
  }

  std::string_view text_;
  bool textIsUtf8_;
  std::string_view fileName_;
  RegFileLayout* layout_;
  std::vector<std::string>& warnings_;

  std::size_t lineBegin_ = 0;
  std::size_t lineEnd_ = 0;  // past the current line's end
  std::size_t lineNumber_ = 0;
  bool version5_ = false;
  RegTree tree_;
  const RegSource* source_ = nullptr;
  RegKey* current_ = nullptr;
  RegKey* valueTarget_ = nullptr;  // set only while a key's pending values are read
  std::size_t pendingBegin_ = std::string_view::npos;  // where the open section's value lines begin
  bool skipping_ = false;
  std::vector<std::string> openPath_;
  std::vector<RegKey*> openKeys_;
};

RegParseResult parseText(RegFileBytes file, std::string_view fileName, RegFileLayout* layout) {
  constexpr std::array<std::uint8_t, 2> kUtf16Bom = {0xFF, 0xFE};
  constexpr std::array<std::uint8_t, 3> kUtf8Bom = {0xEF, 0xBB, 0xBF};
  std::span<const std::uint8_t> bytes = file.bytes;
  RegSource source{std::move(file.owner), {}, true, true, &Parser::readValueLines};
  RegFileFormat format;
  bool utf8Bom = false;
  if (bytes.size() >= 2 && std::equal(kUtf16Bom.begin(), kUtf16Bom.end(), bytes.begin())) {
    auto decoded = std::make_shared<const std::string>(utf8FromUtf16File(bytes.subspan(2)));
    source.text = *decoded;
    source.owner = std::move(decoded);  // the file's own bytes are no longer needed
    format = RegFileFormat::kVersion5Utf16;
  } else {
    utf8Bom = bytes.size() >= 3 && std::equal(kUtf8Bom.begin(), kUtf8Bom.end(), bytes.begin());
    if (utf8Bom) bytes = bytes.subspan(3);
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    source.text = text;
    // Without a mark the header tells: version 5 text is UTF-8, REGEDIT4 text 8-bit.
    source.textIsUtf8 = utf8Bom || !text.starts_with(kRegedit4Header);
    format = source.textIsUtf8 ? RegFileFormat::kVersion5Utf8 : RegFileFormat::kRegedit4;
    if (source.textIsUtf8 && !isValidUtf8(text)) {
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
  const std::string_view text = source.text;
  RegParseResult result;
  Parser parser(text, source.textIsUtf8, fileName, layout, result.warnings);
  source.version5 = !text.starts_with(kRegedit4Header);
  result.tree = parser.parse(std::move(source));
  if (layout != nullptr) {
    layout->format = format;
    layout->utf8ByteOrderMark = utf8Bom;
    const std::size_t newline = text.find('\n');
    layout->lineEnd = newline == std::string_view::npos || (newline > 0 && text[newline - 1] == '\r') ? "\r\n" : "\n";
    layout->text = std::string(text);
  }
  return result;
}

}  // namespace

RegParseResult parseRegFile(RegFileBytes bytes, std::string_view fileName, RegFileLayout* layout) {
  if (layout != nullptr) *layout = RegFileLayout{};
  try {
    return parseText(std::move(bytes), fileName, layout);
  } catch (const ParseFault& fault) {
    RegParseResult result;
    result.errorLine = fault.line;
    result.error = std::string(fileName) + ':' + std::to_string(fault.line) + ": " + fault.reason;
    return result;
  }
}

RegParseResult parseRegFile(std::span<const std::uint8_t> bytes, std::string_view fileName, RegFileLayout* layout) {
  auto copy = std::make_shared<const std::vector<std::uint8_t>>(bytes.begin(), bytes.end());
  const std::span<const std::uint8_t> kept(*copy);
  return parseRegFile(RegFileBytes{kept, std::move(copy)}, fileName, layout);
}

RegParseResult parseRegFile(std::string_view bytes, std::string_view fileName, RegFileLayout* layout) {
  return parseRegFile(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), fileName, layout);
}

}  // namespace vorn::platform::regfile
