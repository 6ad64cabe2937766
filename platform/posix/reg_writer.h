// Writing a registry tree as a ".reg" file (platform/posix/reg_file_format.h).
#pragma once

#include <string>

#include "platform/posix/reg_file_format.h"
#include "platform/posix/reg_key_tree.h"

namespace vorn::platform::posix {

// Writes the tree in canonical form (CRLF line ends, one key a paragraph,
// long hex data wrapped with continuation lines); the parser reads it back
// into the same tree. Throws std::invalid_argument for a name the format
// cannot hold (one containing a zero byte, CR or LF; in REGEDIT4, a key name
// with characters the ANSI code page lacks).
std::string writeRegFile(const RegTree& tree, RegFileFormat format = RegFileFormat::kVersion5Utf8);

}  // namespace vorn::platform::posix
