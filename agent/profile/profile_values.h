// Every value of a printer profile that the agent or the print service
// reads: how each is read and how much of it. A tool that writes profiles
// writes them so; a check of a profile reads them so.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

namespace vorn {

enum class ProfileValueKind {
  text,         // REG_SZ (REG_EXPAND_SZ, or a REG_MULTI_SZ's first string)
  flag,         // a text, set when it is exactly the keyword
  decimalText,  // a text read as a decimal number (Port)
  number,       // REG_DWORD, its low 16 bits
};

struct ProfileValueSpec {
  std::string_view name;  // as the readers spell it
  ProfileValueKind kind;
  std::size_t maxChars;      // texts: the longest the reader takes whole
  bool required;             // without it the agent ends: "registry info missing"
  std::string_view keyword;  // flags: the text that sets them
};

// Active (the service's) first, then the agent's in the order it reads them.
std::span<const ProfileValueSpec> profileValueSpecs();

// The value of that name, letter case aside; null for a value no one reads.
const ProfileValueSpec* findProfileValueSpec(std::string_view name);

}  // namespace vorn
