#include "agent/profile/printer_profile.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <limits>
#include <memory>

#include "agent/profile/registry_values.h"
#include "platform/error.h"

namespace vorn {
namespace {

// KEY_READ | KEY_WOW64_64KEY: the 64-bit view whatever the agent's own bitness.
constexpr std::uint32_t kProfileKeyAccess = platform::kKeyRead | platform::kKeyWow64_64Key;
static_assert(kProfileKeyAccess == 0x20119);

constexpr std::string_view kYes = "yes";
constexpr std::string_view kSocket = "socket";

}  // namespace

std::string ProfileKeyPath(std::string_view profileName) {
  std::string path(kProfilesKeyPath);
  path += '\\';
  path += profileName;
  return path;
}

std::int32_t ParsePortNumber(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  // Accumulate the magnitude in 64 bits and stop growing past the limit, so
  // a long run of digits saturates instead of overflowing.
  constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  std::int64_t magnitude = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    magnitude = std::min(magnitude * 10 + (text[i] - '0'), kLimit);
  }
  const std::int64_t value = negative ? -magnitude : magnitude;
  if (value > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(value);
}

int ReadPrinterProfile(platform::Registry& registry, AgentEventLog& log, PrinterProfile& profile) {
  const std::string keyPath = ProfileKeyPath(profile.name);
  std::unique_ptr<platform::RegistryKey> key;
  if (registry.openKey(keyPath, kProfileKeyAccess, key) != platform::kErrorSuccess || !key) {
    log.LogErrorPair("couldn't open registry key", keyPath);
    return -1;
  }

  profile.Location = ReadTextValue(*key, "Location");
  profile.Machine = ReadTextValue(*key, "Machine");
  profile.Online = ReadTextValue(*key, "Online");
  profile.Port = ParsePortNumber(ReadTextValue(*key, "Port"));
  profile.User = ReadTextValue(*key, "User");
  profile.printerid = ReadTextValue(*key, "printerid");
  profile.printername = ReadTextValue(*key, "printername", kPrinterNameMax);
  if (profile.Location.empty() || profile.Machine.empty() || profile.Online.empty() ||
      profile.User.empty() || profile.printerid.empty() || profile.printername.empty()) {
    log.LogErrorPair("registry info missing", keyPath);
    return -1;
  }

  profile.CommType = ReadFlagValue(*key, "CommType", kSocket);
  profile.Direct = ReadFlagValue(*key, "Direct", kYes);
  profile.loadarea = ReadTextValue(*key, "loadarea", kLoadDirectoryMax);
  profile.MainForm = ReadTextValue(*key, "MainForm");
  profile.AltForm = ReadTextValue(*key, "AltForm");
  profile.MainTray = ReadNumberValue(*key, "MainTray");
  profile.AltTray = ReadNumberValue(*key, "AltTray");
  profile.Restrict = ReadFlagValue(*key, "Restrict", kYes);
  profile.TwoSide = ReadFlagValue(*key, "TwoSide", kYes);
  profile.TwoTray = ReadFlagValue(*key, "TwoTray", kYes);
  profile.ZedudFlag = ReadFlagValue(*key, "ZedudFlag", kYes);
  profile.FontOpt = ReadFlagValue(*key, "FontOpt", kYes);
  profile.MarginOpt = ReadFlagValue(*key, "MarginOpt", kYes);
  profile.PrintToFile = ReadFlagValue(*key, "PrintToFile", kYes);
  profile.PTFOpt = ReadNumberValue(*key, "PTFOpt");
  profile.PTFPath = ReadTextValue(*key, "PTFPath");
  profile.directtodisk = ReadFlagValue(*key, "directtodisk", kYes);
  profile.JetformFlag = ReadFlagValue(*key, "JetformFlag", kYes);
  return 0;
}

}  // namespace vorn
