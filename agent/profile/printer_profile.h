// One printer profile as the agent reads it from the registry, and the read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "agent/diag/agent_event_log.h"
#include "platform/registry.h"

namespace vorn {

// `printername` and `loadarea` go on to the renderer's context, whose fields
// hold 103 characters and their terminator.
inline constexpr std::size_t kPrinterNameMax = 103;
inline constexpr std::size_t kLoadDirectoryMax = 103;

// The fields bear the registry value names. Texts hold at most 255 characters
// (`printername` and `loadarea` at most 103); a flag is set when its text is
// exactly "yes" ("socket" for CommType); numbers are the low 16 bits of a
// REG_DWORD. Absent or unreadable values read as "", false or 0.
struct PrinterProfile {
  std::string name;  // from the command line, lower case; not read from the registry
  std::string Machine;
  bool CommType = false;  // true: "socket", false: "pipe"
  bool Direct = false;
  std::int32_t Port = 0;  // stored as text
  std::string Online;
  std::string User;
  std::string Location;
  std::string printername;
  std::string printerid;
  bool Restrict = false;
  bool TwoSide = false;
  bool TwoTray = false;
  std::uint16_t MainTray = 0;
  std::uint16_t AltTray = 0;
  std::string MainForm;
  std::string AltForm;
  std::string loadarea;
  bool ZedudFlag = false;
  bool FontOpt = false;
  bool MarginOpt = false;
  bool PrintToFile = false;
  bool directtodisk = false;
  bool JetformFlag = false;
  std::string PTFPath;
  std::uint16_t PTFOpt = 0;
};

// The registry key that holds every profile, under HKEY_LOCAL_MACHINE.
inline constexpr std::string_view kProfilesKeyPath = "SOFTWARE\\Kolvane\\VornPrint\\profiles";

// "SOFTWARE\Kolvane\VornPrint\profiles\<name>".
std::string ProfileKeyPath(std::string_view profileName);

// Reads the profile named by `profile.name` from its registry key into
// `profile`. Returns 0 when the profile is complete, or
// -1 after writing one event: "couldn't open registry key" or "registry info
// missing" with the key path. The key is closed on every path.
//
// A `printername` or `loadarea` longer than 103 characters does not fit the
// renderer's field: it counts as unreadable rather than being cut, so an
// over-long printername makes the profile incomplete and an over-long
// loadarea reads as empty.
int ReadPrinterProfile(platform::Registry& registry, AgentEventLog& log, PrinterProfile& profile);

// Port's conversion: leading blanks, an optional sign, then decimal digits up
// to the first other character; 0 without digits; saturates at the limits of
// a signed 32-bit number.
std::int32_t ParsePortNumber(std::string_view text);

}  // namespace vorn
