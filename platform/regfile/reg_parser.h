// Reading a ".reg" file (platform/regfile/reg_file_format.h) into a registry tree.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/regfile/reg_key_tree.h"

namespace vorn::platform::regfile {

// The outcome of parsing: a tree, or the first fault found.
struct RegParseResult {
  std::optional<RegTree> tree;
  std::size_t errorLine = 0;  // 1-based line of the fault
  std::string error;          // "<file name>:<line>: <reason>"
};

// Parses a whole file. Nothing is applied partially: any fault gives no tree.
RegParseResult parseRegFile(std::span<const std::uint8_t> bytes, std::string_view fileName);
RegParseResult parseRegFile(std::string_view bytes, std::string_view fileName);

}  // namespace vorn::platform::regfile
