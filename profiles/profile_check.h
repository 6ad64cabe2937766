// check: each profile read the way the agent and the service will read it,
// one line per finding, naming the profile and the value:
//   "<profile>: error: <finding>"    the profile would fail to start (or the
//                                    service would never start it)
//   "<profile>: warning: <finding>"  it starts, but not as its values say
// and a closing count. Exit status 1 when any profile would fail to start.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/folder_probe.h"
#include "platform/registry.h"
#include "profiles/profile_commands.h"

namespace vorn {

// What a check asks of the machine besides its registry.
class CheckEnvironment {
 public:
  virtual ~CheckEnvironment() = default;
  // OpenPrinterA: kErrorSuccess when the agent would find the printer (a
  // built-in PDF printer, a CUPS destination, a Windows printer).
  virtual std::uint32_t openPrinter(std::string_view name) = 0;
  // Whether this process may read from or write into the folder.
  virtual std::uint32_t probeFolder(std::string_view path, platform::FolderUse use) = 0;
  // Whether a Machine value names this machine (the pipe transport's reach).
  virtual bool namesThisMachine(std::string_view machine) = 0;
};

// The named profiles, or all when none are named.
int checkProfiles(platform::Registry& registry, CheckEnvironment& environment, const std::vector<std::string>& names,
                  ToolOutput& output);

}  // namespace vorn
