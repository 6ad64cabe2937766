#include "control/console.h"

#include <cstdint>
#include <string>

#include "platform/error.h"
#include "platform/process.h"

namespace vorn {
namespace {

constexpr std::size_t kSystemTextMax = 1023;

}  // namespace

const std::string_view kHelpText =
    "Options are:\n"
    "    show                  shows all active VORN printers\n"
    "    stop                  stops VORNPrintServices Windows Service\n"
    "    start                 starts the Windows Service\n"
    "    create                installs the Windows Service\n"
    "    delete                uninstalls the Windows Service\n"
    "    run /profile=name\n"
    "    kill /profile=name\n"
    "\n(to define or change VORN printers, run VornPrintProfiles)\n";

void ExitWithError(std::string_view text) {
  platform::writeStandardOutput("*** error: " + std::string(text) + "\n");
  platform::exitProcess(1);
}

void ExitWithSystemError(std::string_view text) {
  const std::uint32_t code = platform::lastError();
  std::string systemText = platform::systemMessageText(code);
  if (systemText.size() > kSystemTextMax) systemText.resize(kSystemTextMax);
  ExitWithError(std::string(text) + ",\n  last error: " + std::to_string(static_cast<std::int32_t>(code)) + " " +
                systemText);
}

}  // namespace vorn
