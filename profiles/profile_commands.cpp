#include "profiles/profile_commands.h"

#include <algorithm>
#include <memory>

#include "agent/profile/printer_profile.h"
#include "agent/profile/registry_values.h"
#include "common/profile_key_names.h"
#include "platform/ansi_code_page.h"
#include "platform/error.h"

namespace vorn {
namespace {

constexpr std::string_view kProgram = "VornPrintProfiles: ";

std::string quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

// A name that can be one key under the profiles key.
bool validProfileName(std::string_view name, ToolOutput& output) {
  if (name.empty() || name.find('\\') != std::string_view::npos) {
    output.error(quoted(name) + " is not a profile name");
    return false;
  }
  return true;
}

// The profile's key; told when it cannot be opened.
std::unique_ptr<platform::RegistryKey> openProfile(platform::Registry& registry, std::string_view name,
                                                   std::uint32_t access, ToolOutput& output) {
  if (!validProfileName(name, output)) return nullptr;
  std::unique_ptr<platform::RegistryKey> key;
  const std::uint32_t error = registry.openKey(ProfileKeyPath(name), access, key);
  if (error == platform::kErrorFileNotFound) {
    output.error("no profile " + quoted(name));
  } else if (error != platform::kErrorSuccess) {
    output.systemError("cannot open profile " + quoted(name), error);
  }
  return error == platform::kErrorSuccess ? std::move(key) : nullptr;
}

std::string joinedNames(const std::vector<ProfileValue>& values) {
  std::string names;
  for (const ProfileValue& value : values) names += (names.empty() ? "" : ", ") + value.name;
  return names;
}

// Writes the values through the key and flushes it; told when it fails.
bool writeValues(platform::RegistryKey& key, std::string_view profile, const std::vector<ProfileValue>& values,
                 ToolOutput& output) {
  for (const ProfileValue& value : values) {
    if (const std::uint32_t error = key.setValue(value.name, value.type, value.data)) {
      output.systemError("cannot set " + value.name + " of " + quoted(profile), error);
      return false;
    }
  }
  if (const std::uint32_t error = key.flush()) {
    output.systemError("cannot write profile " + quoted(profile), error);
    return false;
  }
  return true;
}

// Columns padded to their widest cell, two blanks apart.
void writeTable(const std::vector<std::vector<std::string>>& rows, ToolOutput& output) {
  std::vector<std::size_t> widths;
  for (const auto& row : rows) {
    widths.resize(std::max(widths.size(), row.size()));
    for (std::size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], row[i].size());
  }
  for (const auto& row : rows) {
    std::string line;
    for (std::size_t i = 0; i < row.size(); ++i) {
      line += row[i];
      if (i + 1 < row.size()) line += std::string(widths[i] - row[i].size() + 2, ' ');
    }
    output.line(line);
  }
}

}  // namespace

void ToolOutput::line(std::string_view text) {
  out += text;
  out += '\n';
}

void ToolOutput::error(std::string_view text) {
  err += kProgram;
  err += text;
  err += '\n';
}

void ToolOutput::systemError(std::string_view text, std::uint32_t code) {
  std::string system = platform::systemMessageText(code);
  while (!system.empty() && (system.back() == '\n' || system.back() == '\r')) system.pop_back();
  error(std::string(text) + ": " + std::to_string(code) + (system.empty() ? "" : " " + system));
}

bool parseValueArguments(const std::vector<std::string>& arguments, bool force, std::vector<ProfileValue>& values,
                         ToolOutput& output) {
  bool allTaken = true;
  for (const std::string& argument : arguments) {
    auto parsed = parseValueArgument(argument, force);
    if (auto* value = std::get_if<ProfileValue>(&parsed)) {
      values.push_back(std::move(*value));
    } else {
      output.error(std::get<std::string>(parsed));
      allTaken = false;
    }
  }
  return allTaken;
}

int listProfiles(platform::Registry& registry, ToolOutput& output) {
  std::unique_ptr<platform::RegistryKey> profiles;
  const std::uint32_t error = registry.openKey(kProfilesKeyPath, kProfileReadAccess, profiles);
  if (error == platform::kErrorFileNotFound) {
    output.line("no printer profiles");
    return 0;
  }
  if (error != platform::kErrorSuccess) {
    output.systemError("cannot open the profiles", error);
    return 1;
  }
  std::vector<std::vector<std::string>> rows = {{"PROFILE", "ACTIVE", "PRINTER", "HOST"}};
  std::string ansi;
  std::string unicode;
  for (std::uint32_t index = 0; profiles->enumSubkeyNames(index, ansi, unicode) == platform::kErrorSuccess; ++index) {
    std::unique_ptr<platform::RegistryKey> key;
    if (profileKeyFault(ansi, unicode) == ProfileKeyFault::notRepresentable ||
        registry.openKey(ProfileKeyPath(ansi), kProfileReadAccess, key) != platform::kErrorSuccess) {
      // Out of reach of the ANSI calls: check tells why.
      rows.push_back({profileKeyDisplayName(ansi, unicode), "?", "?", "?"});
      continue;
    }
    const std::string active = ReadTextValue(*key, "Active");
    const bool socket = ReadTextValue(*key, "CommType") == "socket";
    rows.push_back({ansi, active.empty() ? "-" : active, ReadTextValue(*key, "printername"),
                    ReadTextValue(*key, "Machine") + (socket ? " socket " : " pipe ") + ReadTextValue(*key, "Port")});
  }
  if (rows.size() == 1) {
    output.line("no printer profiles");
  } else {
    writeTable(rows, output);
  }
  return 0;
}

int showProfile(platform::Registry& registry, std::string_view name, ToolOutput& output) {
  const auto key = openProfile(registry, name, kProfileReadAccess, output);
  if (!key) return 1;
  std::string valueName;
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
  for (std::uint32_t index = 0; key->enumValue(index, valueName, type, data) == platform::kErrorSuccess; ++index) {
    output.line(valueName + "=" + valueDataText(type, data));
  }
  return 0;
}

int addProfile(platform::Registry& registry, std::string_view name, const std::vector<ProfileValue>& values,
               ToolOutput& output) {
  if (!validProfileName(name, output)) return 1;
  // A name the service would leave out is no profile.
  const ProfileKeyFault fault = profileKeyFault(name, platform::utf8FromAnsi(name));
  if (fault != ProfileKeyFault::none) {
    output.error(quoted(name) + ": the service would never start it: " + std::string(profileKeyFaultText(fault)));
    return 1;
  }
  std::unique_ptr<platform::RegistryKey> key;
  std::uint32_t disposition = 0;
  if (const std::uint32_t error = registry.createKey(ProfileKeyPath(name), kProfileWriteAccess, key, disposition)) {
    output.systemError("cannot add profile " + quoted(name), error);
    return 1;
  }
  if (disposition != platform::kRegCreatedNewKey) {
    output.error("profile " + quoted(name) + " exists (set changes its values)");
    return 1;
  }
  if (!writeValues(*key, name, values, output)) {
    // Not left half made: the key goes again.
    key.reset();
    std::unique_ptr<platform::RegistryKey> profiles;
    std::uint32_t error = registry.openKey(kProfilesKeyPath, kProfileWriteAccess, profiles);
    if (error == platform::kErrorSuccess) error = profiles->deleteTree(name);
    if (error == platform::kErrorSuccess) error = profiles->flush();
    if (error != platform::kErrorSuccess) output.systemError("profile " + quoted(name) + " stays, empty", error);
    return 1;
  }
  output.line("added " + std::string(name));
  return 0;
}

int setProfileValues(platform::Registry& registry, std::string_view name, const std::vector<ProfileValue>& values,
                     ToolOutput& output) {
  const auto key = openProfile(registry, name, kProfileWriteAccess, output);
  if (!key || !writeValues(*key, name, values, output)) return 1;
  output.line("set " + std::string(name) + ": " + joinedNames(values));
  return 0;
}

int unsetProfileValues(platform::Registry& registry, std::string_view name, const std::vector<std::string>& names,
                       ToolOutput& output) {
  const auto key = openProfile(registry, name, kProfileWriteAccess, output);
  if (!key) return 1;
  bool allThere = true;
  for (const std::string& valueName : names) {
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    if (key->queryValue(valueName, type, {}, size) != platform::kErrorSuccess) {
      output.error("profile " + quoted(name) + " has no value " + quoted(valueName));
      allThere = false;
    }
  }
  if (!allThere) return 1;
  for (const std::string& valueName : names) {
    if (const std::uint32_t error = key->deleteValue(valueName)) {
      output.systemError("cannot unset " + valueName + " of " + quoted(name), error);
      return 1;
    }
  }
  if (const std::uint32_t error = key->flush()) {
    output.systemError("cannot write profile " + quoted(name), error);
    return 1;
  }
  std::string joined;
  for (const std::string& valueName : names) joined += (joined.empty() ? "" : ", ") + valueName;
  output.line("unset " + std::string(name) + ": " + joined);
  return 0;
}

int removeProfile(platform::Registry& registry, std::string_view name, ToolOutput& output) {
  if (!validProfileName(name, output)) return 1;
  std::unique_ptr<platform::RegistryKey> profiles;
  std::uint32_t error = registry.openKey(kProfilesKeyPath, kProfileWriteAccess, profiles);
  if (error == platform::kErrorSuccess) error = profiles->deleteTree(name);
  if (error == platform::kErrorSuccess) error = profiles->flush();
  if (error == platform::kErrorFileNotFound) {
    output.error("no profile " + quoted(name));
    return 1;
  }
  if (error != platform::kErrorSuccess) {
    output.systemError("cannot remove profile " + quoted(name), error);
    return 1;
  }
  output.line("removed " + std::string(name));
  return 0;
}

int activateProfile(platform::Registry& registry, std::string_view name, bool active, ToolOutput& output) {
  const std::vector<ProfileValue> values = {
      std::get<ProfileValue>(parseValueArgument(active ? "Active=yes" : "Active=no", false))};
  const auto key = openProfile(registry, name, kProfileWriteAccess, output);
  if (!key || !writeValues(*key, name, values, output)) return 1;
  output.line((active ? "activated " : "deactivated ") + std::string(name));
  return 0;
}

}  // namespace vorn
