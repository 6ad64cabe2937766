// The registry export format (".reg" files) as Windows' reg export and
// regedit write it.
//
// Accepted input: a "Windows Registry Editor Version 5.00" file in UTF-16LE
// (with its byte-order mark) or UTF-8, or a "REGEDIT4" file in 8-bit text.
// Everything read is held as the 8-bit ANSI (Windows-1252) API sees it:
// names, and the data of REG_SZ, REG_EXPAND_SZ and REG_MULTI_SZ values
// (UTF-16 data of a version 5 file is converted; characters the code page
// lacks become '?').
#pragma once

#include <string_view>

namespace vorn::platform::regfile {

inline constexpr std::string_view kVersion5Header = "Windows Registry Editor Version 5.00";
inline constexpr std::string_view kRegedit4Header = "REGEDIT4";

enum class RegFileFormat {
  kVersion5Utf8,   // "Windows Registry Editor Version 5.00", UTF-8, no byte-order mark
  kVersion5Utf16,  // the same in UTF-16LE with a byte-order mark, as Windows exports it
  kRegedit4,       // "REGEDIT4", 8-bit text
};

}  // namespace vorn::platform::regfile
