#include "profiles/command_line.h"

#include <array>
#include <utility>

namespace vorn {
namespace {

struct CommandForm {
  std::string_view word;
  ProfilesCommand command;
  bool takesProfile;
  std::size_t minArguments;  // after the profile
  bool moreArguments;
};

constexpr std::array<CommandForm, 11> kForms = {{
    {"list", ProfilesCommand::list, false, 0, false},
    {"show", ProfilesCommand::show, true, 0, false},
    {"add", ProfilesCommand::add, true, 0, true},
    {"set", ProfilesCommand::set, true, 1, true},
    {"unset", ProfilesCommand::unset, true, 1, true},
    {"remove", ProfilesCommand::remove, true, 0, false},
    {"activate", ProfilesCommand::activate, true, 0, false},
    {"deactivate", ProfilesCommand::deactivate, true, 0, false},
    {"import", ProfilesCommand::import, false, 1, false},
    {"export", ProfilesCommand::exportTo, false, 1, true},
    {"check", ProfilesCommand::check, false, 0, true},
}};

}  // namespace

const std::string_view kProfilesHelpText =
    "usage: VornPrintProfiles [--force] COMMAND [ARGUMENT...]\n"
    "\n"
    "Writes the printer profiles that spoolagent and VornPrintService read: the keys\n"
    "under HKEY_LOCAL_MACHINE\\SOFTWARE\\Kolvane\\VornPrint\\profiles.\n"
    "\n"
    "  list                      every profile with its Active, printer and host\n"
    "  show NAME                 the profile's values, one VALUE=DATA a line\n"
    "  add NAME [VALUE=DATA...]  a new profile (refused when one of that name exists)\n"
    "  set NAME VALUE=DATA...    sets values of a profile\n"
    "  unset NAME VALUE...       deletes values of a profile\n"
    "  remove NAME               deletes the profile\n"
    "  activate NAME             Active=yes: the service starts its agent\n"
    "  deactivate NAME           Active=no\n"
    "  import FILE.reg           the profiles of a registry file (regedit's, reg export's)\n"
    "  export [NAME...] FILE.reg the profiles named, or all, as a file regedit imports\n"
    "  check [NAME...]           reads each profile as the agent and the service will;\n"
    "                            one line per finding; exit status 1 when a profile\n"
    "                            would fail to start\n"
    "  --help, --version\n"
    "\n"
    "Values are typed as the agent reads them: MainTray, AltTray and PTFOpt are\n"
    "REG_DWORD numbers (0 to 65535, decimal or 0x hex), every other value a text\n"
    "of at most 255 characters (printername and loadarea 103, Active 254). A value\n"
    "no reader knows is refused; --force writes it (as a text, or \"dword:\" and hex\n"
    "digits) and lets export replace an existing file.\n"
    "\n"
    "Exit status: 0 done; 1 refused or failed, nothing changed; 2 a usage error.\n";

std::variant<ProfilesCommandLine, std::string> parseProfilesCommandLine(const std::vector<std::string>& arguments) {
  ProfilesCommandLine line;
  std::vector<std::string> words;
  bool help = false;
  bool version = false;
  for (const std::string& argument : arguments) {
    if (argument == "--force") {
      line.force = true;
    } else if (argument == "--help" || argument == "-h") {
      help = true;
    } else if (argument == "--version") {
      version = true;
    } else if (argument.starts_with("--")) {
      return "unknown option " + argument;
    } else {
      words.push_back(argument);
    }
  }
  if (help || (words.empty() && !version)) return line;  // help
  if (version) {
    line.command = ProfilesCommand::version;
    return line;
  }
  const CommandForm* form = nullptr;
  for (const CommandForm& candidate : kForms) {
    if (candidate.word == words.front()) form = &candidate;
  }
  if (form == nullptr) return "unknown command " + words.front();
  line.command = form->command;
  std::size_t next = 1;
  if (form->takesProfile) {
    if (words.size() < 2) return words.front() + ": a profile name is needed";
    line.profile = words[1];
    next = 2;
  }
  line.arguments.assign(words.begin() + static_cast<std::ptrdiff_t>(next), words.end());
  if (line.arguments.size() < form->minArguments) return words.front() + ": more arguments are needed";
  if (!form->moreArguments && line.arguments.size() > form->minArguments) return words.front() + ": too many arguments";
  if (form->command == ProfilesCommand::import || form->command == ProfilesCommand::exportTo) {
    line.file = std::move(line.arguments.back());
    line.arguments.pop_back();
  }
  return line;
}

}  // namespace vorn
