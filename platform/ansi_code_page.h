// The system's 8-bit texts are in the ANSI code page, Windows-1252. These
// conversions stand where Windows converts between it and Unicode
// (MultiByteToWideChar / WideCharToMultiByte with CP_ACP); our own table,
// because glibc's iconv refuses the code page's five undefined bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vorn::platform {

// The Unicode code point of a Windows-1252 byte. The five bytes the code page
// leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 controls of
// the same value, as Windows does.
char32_t unicodeFromAnsi(std::uint8_t byte);

// Windows-1252 text as UTF-8.
std::string utf8FromAnsi(std::string_view ansi);

// UTF-8 text as Windows-1252; characters the code page lacks, and bytes that
// are not valid UTF-8, become '?' (the default character).
std::string ansiFromUtf8(std::string_view utf8);

// Appends a code point as UTF-8.
void appendUtf8(std::string& out, char32_t codePoint);

// Decodes the UTF-8 sequence at `pos` and moves past it. A malformed sequence
// (truncated, overlong, a surrogate, above U+10FFFF) gives nullopt and moves
// one byte on.
std::optional<char32_t> decodeUtf8(std::string_view text, std::size_t& pos);

// Whether `text` is well-formed UTF-8 throughout.
bool isValidUtf8(std::string_view text);

// One Windows-1252 byte in upper or lower case as the system's locale maps it
// (CharUpperA / CharLowerA): ASCII letters, the accented letters, Š Œ Ž Ÿ.
// ß and µ have no single-byte capital and stay as they are.
std::uint8_t ansiUpper(std::uint8_t byte);
std::uint8_t ansiLower(std::uint8_t byte);

// Windows-1252 text in upper or lower case, byte by byte.
std::string ansiUpperCase(std::string_view ansi);
std::string ansiLowerCase(std::string_view ansi);

// Whether two Windows-1252 texts are equal without regard to case.
bool equalsIgnoringCase(std::string_view a, std::string_view b);

// Orders two Windows-1252 texts without regard to case, as Windows orders
// names (an environment block, a registry key's subkeys): by the Unicode code
// points of their upper-cased characters, a prefix first. Negative, 0 or positive.
int compareIgnoringCase(std::string_view a, std::string_view b);

}  // namespace vorn::platform
