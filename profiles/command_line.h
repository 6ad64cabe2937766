// VornPrintProfiles' command line:
//   VornPrintProfiles [--force] COMMAND [ARGUMENT…] | --help | --version
#pragma once

#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace vorn {

enum class ProfilesCommand { help, version, list, show, add, set, unset, remove, activate, deactivate, import, exportTo, check };

struct ProfilesCommandLine {
  ProfilesCommand command = ProfilesCommand::help;
  bool force = false;
  std::string profile;                 // show, add, set, unset, remove, activate, deactivate
  std::vector<std::string> arguments;  // VALUE=DATA, VALUE, NAME… (export: without its file)
  std::string file;                    // import, export
};

// The help text (--help), which the manual page follows too.
extern const std::string_view kProfilesHelpText;

// The command, or what is wrong with the line (a usage error).
std::variant<ProfilesCommandLine, std::string> parseProfilesCommandLine(const std::vector<std::string>& arguments);

}  // namespace vorn
