// What the print service and the control utility both know of the service:
// its registration names, its programs and its control pipe.
#pragma once

#include <string>
#include <string_view>

namespace vorn {

// The service's name and display name with the service control manager.
inline constexpr std::string_view kServiceName = "VornPrintService";
inline constexpr std::string_view kServiceDisplayName = "VornPrintService";

// The programs, by the names this system gives them; the platform adds what
// its program files carry (".exe" on Windows).
inline constexpr std::string_view kServiceProgram = "VornPrintService";
inline constexpr std::string_view kAgentProgram = "spoolagent";

// The control pipe, \\.\pipe\VornPrintService.
inline constexpr std::string_view kServicePipeName = "VornPrintService";

// Where the printer profiles live under HKEY_LOCAL_MACHINE.
inline constexpr std::string_view kProfilesKey = "Software\\Kolvane\\VornPrint\\profiles";

// The program file names on this platform.
std::string serviceProgramFileName();
std::string agentProgramFileName();

}  // namespace vorn
