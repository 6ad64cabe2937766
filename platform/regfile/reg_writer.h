// Writing a registry tree as a ".reg" file (platform/regfile/reg_file_format.h).
#pragma once

#include <string>

#include "platform/regfile/reg_file_format.h"
#include "platform/regfile/reg_key_tree.h"

namespace vorn::platform::regfile {

// Writes the tree in canonical form (CRLF line ends, one key a paragraph,
// long hex data wrapped with continuation lines); the parser reads it back
// into the same tree. Throws std::invalid_argument for a name the format
// cannot hold (one containing a zero byte, CR or LF).
std::string writeRegFile(const RegTree& tree, RegFileFormat format = RegFileFormat::kVersion5Utf8);

}  // namespace vorn::platform::regfile
