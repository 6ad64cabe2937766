#include "platform/ansi_code_page.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace vorn::platform {
namespace {

// Code points of the bytes 0x80 to 0x9F; the rest of the page is Latin-1.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char ansiFromUnicode(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
  for (std::size_t i = 0; i < kHighControls.size(); ++i) {
    if (kHighControls[i] == cp) return static_cast<char>(0x80 + i);
  }
  return '?';
}

}  // namespace

void appendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

std::optional<char32_t> decodeUtf8(std::string_view s, std::size_t& pos) {
  const auto lead = static_cast<std::uint8_t>(s[pos]);
  if (lead < 0x80) {
    ++pos;
    return lead;
  }
  std::size_t extra;
  char32_t cp;
  char32_t minimum;
  if ((lead & 0xE0) == 0xC0) {
    extra = 1, cp = lead & 0x1Fu, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2, cp = lead & 0x0Fu, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3, cp = lead & 0x07u, minimum = 0x10000;
  } else {
    ++pos;
    return std::nullopt;
  }
  if (s.size() - pos <= extra) {
    ++pos;
    return std::nullopt;
  }
  for (std::size_t k = 1; k <= extra; ++k) {
    const auto next = static_cast<std::uint8_t>(s[pos + k]);
    if ((next & 0xC0) != 0x80) {
      ++pos;
      return std::nullopt;
    }
    cp = (cp << 6) | (next & 0x3Fu);
  }
  if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++pos;
    return std::nullopt;
  }
  pos += extra + 1;
  return cp;
}

namespace {

// The length of the run of ASCII bytes at the start of `text`, eight at a time
// where it can: most texts the system converts are ASCII throughout.
std::size_t asciiPrefix(std::string_view text) {
  std::size_t pos = 0;
  for (; pos + 8 <= text.size(); pos += 8) {
    std::uint64_t word;
    std::memcpy(&word, text.data() + pos, sizeof word);
    if ((word & 0x8080808080808080ull) != 0) break;
  }
  while (pos < text.size() && static_cast<std::uint8_t>(text[pos]) < 0x80) ++pos;
  return pos;
}

}  // namespace

bool isValidUtf8(std::string_view text) {
  for (std::size_t pos = asciiPrefix(text); pos < text.size();) {
    if (!decodeUtf8(text, pos)) return false;
    pos += asciiPrefix(text.substr(pos));
  }
  return true;
}

char32_t unicodeFromAnsi(std::uint8_t byte) {
  if (byte >= 0x80 && byte < 0xA0) return kHighControls[byte - 0x80];
  return byte;
}

std::string utf8FromAnsi(std::string_view ansi) {
  std::string out;
  out.reserve(ansi.size());
  for (const char c : ansi) appendUtf8(out, unicodeFromAnsi(static_cast<std::uint8_t>(c)));
  return out;
}

std::string ansiFromUtf8(std::string_view utf8) {
  std::size_t pos = asciiPrefix(utf8);
  std::string out(utf8.substr(0, pos));
  if (pos == utf8.size()) return out;
  out.reserve(utf8.size());
  while (pos < utf8.size()) out.push_back(ansiFromUnicode(decodeUtf8(utf8, pos).value_or(U'?')));
  return out;
}

std::uint8_t ansiUpper(std::uint8_t b) {
  if ((b >= 'a' && b <= 'z') || (b >= 0xE0 && b <= 0xFE && b != 0xF7)) return static_cast<std::uint8_t>(b - 0x20);
  switch (b) {
    case 0x9A: return 0x8A;  // š
    case 0x9C: return 0x8C;  // œ
    case 0x9E: return 0x8E;  // ž
    case 0xFF: return 0x9F;  // ÿ
    default: return b;
  }
}

std::uint8_t ansiLower(std::uint8_t b) {
  if ((b >= 'A' && b <= 'Z') || (b >= 0xC0 && b <= 0xDE && b != 0xD7)) return static_cast<std::uint8_t>(b + 0x20);
  switch (b) {
    case 0x8A: return 0x9A;  // Š
    case 0x8C: return 0x9C;  // Œ
    case 0x8E: return 0x9E;  // Ž
    case 0x9F: return 0xFF;  // Ÿ
    default: return b;
  }
}

std::string ansiUpperCase(std::string_view ansi) {
  std::string out(ansi);
  for (char& c : out) c = static_cast<char>(ansiUpper(static_cast<std::uint8_t>(c)));
  return out;
}

std::string ansiLowerCase(std::string_view ansi) {
  std::string out(ansi);
  for (char& c : out) c = static_cast<char>(ansiLower(static_cast<std::uint8_t>(c)));
  return out;
}

namespace {

// Each byte's upper-case character as a code point: the key by which names
// compare and order. A table, since names are compared in the registry's
// hot paths (a key lookup, a sorted insert).
const std::array<char32_t, 256>& foldedCodePoints() {
  static const std::array<char32_t, 256> table = [] {
    std::array<char32_t, 256> folded{};
    for (unsigned b = 0; b < folded.size(); ++b) folded[b] = unicodeFromAnsi(ansiUpper(static_cast<std::uint8_t>(b)));
    return folded;
  }();
  return table;
}

}  // namespace

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  const auto& folded = foldedCodePoints();
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i] && folded[static_cast<std::uint8_t>(a[i])] != folded[static_cast<std::uint8_t>(b[i])]) return false;
  }
  return true;
}

int compareIgnoringCase(std::string_view a, std::string_view b) {
  const auto& folded = foldedCodePoints();
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    if (a[i] == b[i]) continue;
    const char32_t x = folded[static_cast<std::uint8_t>(a[i])];
    const char32_t y = folded[static_cast<std::uint8_t>(b[i])];
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

}  // namespace vorn::platform
