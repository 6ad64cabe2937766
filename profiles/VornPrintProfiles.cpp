// VornPrintProfiles: writes the printer profiles that spoolagent and
// VornPrintService read (see command_line.cpp for its command line). The
// composition root: the machine's registry, files and printers.
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "common/version.h"
#include "platform/error.h"
#include "platform/file.h"
#include "platform/folder_probe.h"
#include "platform/printer_system.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "profiles/command_line.h"
#include "profiles/profile_check.h"
#include "profiles/profile_commands.h"
#include "profiles/profile_exchange.h"
#include "termlink/connect_string.h"

namespace {

using namespace vorn;

constexpr int kExitUsage = 2;

// The machine as a check sees it.
class MachineEnvironment final : public CheckEnvironment {
 public:
  explicit MachineEnvironment(platform::Registry& registry) : printers_(platform::createPrinterSystem(registry)) {}

  std::uint32_t openPrinter(std::string_view name) override {
    std::unique_ptr<platform::PrinterHandle> printer;
    return printers_->openPrinter(name, printer);
  }
  std::uint32_t probeFolder(std::string_view path, platform::FolderUse use) override {
    return platform::probeFolder(path, use);
  }
  bool namesThisMachine(std::string_view machine) override { return termlink::namesThisMachine(machine); }

 private:
  std::unique_ptr<platform::PrinterSystem> printers_;
};

int run(const ProfilesCommandLine& line, ToolOutput& output) {
  platform::Registry& registry = platform::systemRegistry();
  std::vector<ProfileValue> values;
  switch (line.command) {
    case ProfilesCommand::help:
      output.out += kProfilesHelpText;
      return 0;
    case ProfilesCommand::version:
      output.out += VersionLine("VornPrintProfiles");
      return 0;
    case ProfilesCommand::list:
      return listProfiles(registry, output);
    case ProfilesCommand::show:
      return showProfile(registry, line.profile, output);
    case ProfilesCommand::add:
      if (!parseValueArguments(line.arguments, line.force, values, output)) return 1;
      return addProfile(registry, line.profile, values, output);
    case ProfilesCommand::set:
      if (!parseValueArguments(line.arguments, line.force, values, output)) return 1;
      return setProfileValues(registry, line.profile, values, output);
    case ProfilesCommand::unset:
      return unsetProfileValues(registry, line.profile, line.arguments, output);
    case ProfilesCommand::remove:
      return removeProfile(registry, line.profile, output);
    case ProfilesCommand::activate:
    case ProfilesCommand::deactivate:
      return activateProfile(registry, line.profile, line.command == ProfilesCommand::activate, output);
    case ProfilesCommand::import:
      return importProfiles(registry, platform::systemFileSystem(), line.file, line.force, output);
    case ProfilesCommand::exportTo:
      return exportProfiles(registry, platform::systemFileSystem(), line.arguments, line.file, line.force, output);
    case ProfilesCommand::check: {
      MachineEnvironment machine(registry);
      return checkProfiles(registry, machine, line.arguments, output);
    }
  }
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> arguments = platform::commandArguments(argc, argv);
  const std::vector<bool> whole = platform::argumentsInAnsiCodePage(argc, argv);
  ToolOutput output;
  int status = 0;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    // Written as "?", such a name would be another profile's, or a value no one asked for.
    if (i < whole.size() && !whole[i]) {
      output.error("\"" + arguments[i] + "\": has characters the ANSI code page (Windows-1252) lacks");
      status = kExitUsage;
    }
  }
  if (status == 0) {
    const auto parsed = parseProfilesCommandLine(arguments);
    if (const auto* usage = std::get_if<std::string>(&parsed)) {
      output.error(*usage + " (VornPrintProfiles --help tells the commands)");
      status = kExitUsage;
    } else {
      status = run(std::get<ProfilesCommandLine>(parsed), output);
    }
  }
  if (!output.out.empty()) platform::writeStandardOutput(output.out);
  if (!output.err.empty()) platform::writeStandardError(output.err);
  platform::exitProcess(static_cast<std::uint32_t>(status));
}
