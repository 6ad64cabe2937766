// Profiles in .reg files: export writes them as Windows' regedit imports
// them ("Windows Registry Editor Version 5.00", UTF-16LE); import reads such
// a file (or a UTF-8 or REGEDIT4 one) and writes its profiles as regedit
// would: values set and deleted, keys deleted ([-key]), other values of an
// existing profile kept. Every profile and value is checked first (as add
// and set check them); when anything is refused, nothing is written.
// Keys that are no printer profile are named and left out.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/file.h"
#include "platform/registry.h"
#include "profiles/profile_commands.h"

namespace vorn {

int importProfiles(platform::Registry& registry, platform::FileSystem& files, std::string_view file, bool force,
                   ToolOutput& output);

// The named profiles, or all; an existing file is replaced only with `force`.
int exportProfiles(platform::Registry& registry, platform::FileSystem& files, const std::vector<std::string>& names,
                   std::string_view file, bool force, ToolOutput& output);

}  // namespace vorn
