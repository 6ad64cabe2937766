// A value as the command line gives it, "Name=data", made into the registry
// value the agent and the service read: texts as REG_SZ, the numbers
// (MainTray, AltTray, PTFOpt) as REG_DWORD, each within what its reader takes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace vorn {

struct ProfileValue {
  std::string name;  // a known value's name as its readers spell it
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
};

// The value, or why it is refused (for the user, 8-bit). A name no reader
// knows is refused unless `force`; it is then a text, or a REG_DWORD written
// "dword:" and up to eight hex digits.
std::variant<ProfileValue, std::string> parseValueArgument(std::string_view argument, bool force);

// A value as a .reg file brings it: the same rules, for its type and data
// (a known value's name takes its readers' spelling).
std::variant<ProfileValue, std::string> checkStoredValue(std::string_view name, std::uint32_t type,
                                                         std::vector<std::uint8_t> data, bool force);

// A value's data as a command line or a listing writes it: a text as it is,
// a REG_DWORD in decimal, any other type as the .reg file's "hex(n):…".
std::string valueDataText(std::uint32_t type, const std::vector<std::uint8_t>& data);

}  // namespace vorn
