// The print stream's codes: its control bytes and the letters of the commands
// that follow STX. The host's print messages use the same record marks (STX
// with the header and end-of-report letters).
#pragma once

#include <cstdint>
#include <string_view>

namespace vorn::stream {

// Control bytes.
inline constexpr std::uint8_t kNul = 0x00;
inline constexpr std::uint8_t kStx = 0x02;   // a command: STX, a letter, a parameter
inline constexpr std::uint8_t kLf = 0x0A;
inline constexpr std::uint8_t kFf = 0x0C;
inline constexpr std::uint8_t kCr = 0x0D;
inline constexpr std::uint8_t kSo = 0x0E;    // SO and a count: that many blanks
inline constexpr std::uint8_t kDc4 = 0x14;   // DC4, a biased length, raw printer data
// Text, a command's parameter and a DC4 length byte start here; a parameter
// ends at the first byte below it.
inline constexpr std::uint8_t kFirstText = 0x20;
inline constexpr std::uint8_t kDc4LengthBias = 0x20;

// What a form feed prints first under the eject-mark option: the mark on a
// line of its own. Output that has no lines of its own (a file of plain
// text) writes the whole line.
inline constexpr std::string_view kEjectLine = "\r\n^EJECT\r\n";
inline constexpr std::string_view kEjectMark = kEjectLine.substr(2, 6);
static_assert(kEjectMark == "^EJECT");

// Command letters.
inline constexpr std::uint8_t kHeaderRecord = ' ';      // a report's header record
inline constexpr std::uint8_t kPaperSource = '"';
inline constexpr std::uint8_t kEndPage = '$';
inline constexpr std::uint8_t kTopMargin = '%';
inline constexpr std::uint8_t kLeftMargin = '&';
inline constexpr std::uint8_t kEndOfReport = '/';
inline constexpr std::uint8_t kIgnored0 = '0';
inline constexpr std::uint8_t kIgnored1 = '1';
inline constexpr std::uint8_t kImageOrMacro = '2';
inline constexpr std::uint8_t kLinePitch = '@';
inline constexpr std::uint8_t kCharPitch = 'A';
inline constexpr std::uint8_t kUnderline = 'B';
inline constexpr std::uint8_t kStrokeWeight = 'C';
inline constexpr std::uint8_t kItalic = 'D';
inline constexpr std::uint8_t kOrientation = 'E';
inline constexpr std::uint8_t kTypeface = 'G';
inline constexpr std::uint8_t kProportional = 'H';
inline constexpr std::uint8_t kFontHeight = 'I';
inline constexpr std::uint8_t kColumn = 'J';
inline constexpr std::uint8_t kDuplex = 'q';

}  // namespace vorn::stream
