// Writing a registry tree as a ".reg" file (platform/regfile/reg_file_format.h).
#pragma once

#include <string>
#include <string_view>

#include "platform/regfile/reg_file_format.h"
#include "platform/regfile/reg_key_tree.h"

namespace vorn::platform::regfile {

// Writes the tree in canonical form (CRLF line ends, one key a paragraph,
// long hex data wrapped with continuation lines); the parser reads it back
// into the same tree. Throws std::invalid_argument for a name the format
// cannot hold (one containing a zero byte, CR or LF; in REGEDIT4, a key name
// with characters the ANSI code page lacks).
std::string writeRegFile(const RegTree& tree, RegFileFormat format = RegFileFormat::kVersion5Utf8);

// Pieces of a file, for changing one in place: a key's header line
// ("[path]") and a value's line with its continuation lines, each ended by
// `lineEnd`, in the file's text (UTF-8 for a version 5 file, 8-bit for
// REGEDIT4). The same exceptions as writeRegFile.
std::string regKeyHeaderText(std::string_view path, RegFileFormat format, std::string_view lineEnd);
std::string regValueText(const RegValue& value, RegFileFormat format, std::string_view lineEnd);

// A version 5 file's UTF-8 text as Windows writes it: UTF-16LE with its
// byte-order mark.
std::string utf16FileFromUtf8(std::string_view utf8);

}  // namespace vorn::platform::regfile
