// The profile tool's commands on the registry: list, show, add, set, unset,
// remove, activate and deactivate. Each writes what it did, or why not, to a
// ToolOutput and returns the program's exit status: 0 done, 1 refused or
// failed (nothing changed).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"
#include "profiles/value_arguments.h"

namespace vorn {

// What a command has to say, 8-bit texts a line each.
struct ToolOutput {
  std::string out;
  std::string err;

  void line(std::string_view text);
  // "VornPrintProfiles: <text>" on the standard error.
  void error(std::string_view text);
  // The same with a system error: "<text>: <code> <the system's text>".
  void systemError(std::string_view text, std::uint32_t code);
};

// The profiles key under HKEY_LOCAL_MACHINE, as a .reg file names it.
inline constexpr std::string_view kProfilesFullPath = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Kolvane\\VornPrint\\profiles";
// Readers and writers of profiles use the 64-bit view, as the agent does.
inline constexpr std::uint32_t kProfileReadAccess = platform::kKeyRead | platform::kKeyWow64_64Key;
inline constexpr std::uint32_t kProfileWriteAccess = platform::kKeyAllAccess | platform::kKeyWow64_64Key;

// Parses every VALUE=DATA argument; false (with each refusal told) when
// any is refused.
bool parseValueArguments(const std::vector<std::string>& arguments, bool force, std::vector<ProfileValue>& values,
                         ToolOutput& output);

int listProfiles(platform::Registry& registry, ToolOutput& output);
int showProfile(platform::Registry& registry, std::string_view name, ToolOutput& output);
// Refused when a key of that name (letter case aside) exists.
int addProfile(platform::Registry& registry, std::string_view name, const std::vector<ProfileValue>& values,
               ToolOutput& output);
int setProfileValues(platform::Registry& registry, std::string_view name, const std::vector<ProfileValue>& values,
                     ToolOutput& output);
// Refused, with nothing deleted, when the profile lacks any of the values.
int unsetProfileValues(platform::Registry& registry, std::string_view name, const std::vector<std::string>& names,
                       ToolOutput& output);
int removeProfile(platform::Registry& registry, std::string_view name, ToolOutput& output);
// Active "yes", or "no".
int activateProfile(platform::Registry& registry, std::string_view name, bool active, ToolOutput& output);

}  // namespace vorn
