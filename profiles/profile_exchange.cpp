#include "profiles/profile_exchange.h"

#include <algorithm>
#include <cstddef>
#include <map>
#include <memory>
#include <set>

#include "agent/profile/printer_profile.h"
#include "common/profile_key_names.h"
#include "platform/ansi_code_page.h"
#include "platform/error.h"
#include "platform/regfile/reg_parser.h"
#include "platform/regfile/reg_writer.h"

namespace vorn {
namespace {

using platform::regfile::RegTree;

constexpr std::size_t kMaxFileSize = 64 * 1024 * 1024;

std::string quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

// Whether `path` lies below `prefix`, and what of it does.
std::optional<std::string_view> below(std::string_view path, std::string_view prefix) {
  if (path.size() <= prefix.size() + 1 || path[prefix.size()] != '\\' ||
      !platform::equalsIgnoringCase(path.substr(0, prefix.size()), prefix)) {
    return std::nullopt;
  }
  return path.substr(prefix.size() + 1);
}

std::uint32_t readFile(platform::FileSystem& files, std::string_view path, std::vector<std::uint8_t>& bytes) {
  std::unique_ptr<platform::File> file;
  if (const std::uint32_t error = files.openForReading(path, file)) return error;
  std::vector<std::byte> chunk(64 * 1024);
  while (true) {
    std::size_t got = 0;
    if (const std::uint32_t error = file->read(chunk, got)) return error;
    if (got == 0) break;
    const auto* first = reinterpret_cast<const std::uint8_t*>(chunk.data());
    bytes.insert(bytes.end(), first, first + got);
    if (bytes.size() > kMaxFileSize) return platform::kErrorFileTooLarge;
  }
  return file->close();
}

// One profile of the file, as it is to be written.
struct Imported {
  std::string name;
  std::vector<ProfileValue> values;
  std::vector<std::string> deletedValues;  // "Name"=- lines whose value the file does not set again
};

}  // namespace

int importProfiles(platform::Registry& registry, platform::FileSystem& files, std::string_view file, bool force,
                   ToolOutput& output) {
  std::vector<std::uint8_t> bytes;
  if (const std::uint32_t error = readFile(files, file, bytes)) {
    output.systemError("cannot read " + std::string(file), error);
    return 1;
  }
  platform::regfile::RegFileLayout layout;
  const auto parsed = platform::regfile::parseRegFile(bytes, file, &layout);
  if (!parsed.tree) {
    output.error(parsed.error + ": nothing imported");
    return 1;
  }
  for (const std::string& warning : parsed.warnings) output.error(warning);

  // What the file's sections do to the profiles, and what else it holds.
  std::set<std::string, platform::regfile::RegNameLess> deletedProfiles;
  std::map<std::string, std::set<std::string, platform::regfile::RegNameLess>, platform::regfile::RegNameLess>
      deletedValues;
  std::set<std::string, platform::regfile::RegNameLess> leftOut;
  for (const auto& section : layout.sections) {
    const auto profile = below(section.path, kProfilesFullPath);
    if (section.skipped) continue;  // told by the parser
    if (!profile || profile->find('\\') != std::string_view::npos) {
      const bool profilesKey = platform::equalsIgnoringCase(section.path, kProfilesFullPath);
      if (!profilesKey || section.deletion || !section.items.empty()) leftOut.insert(section.path);
      continue;
    }
    if (section.deletion) deletedProfiles.insert(std::string(*profile));
    for (const auto& item : section.items) {
      if (item.isValue && item.deletion) deletedValues[std::string(*profile)].insert(item.name);
    }
  }
  for (const std::string& path : leftOut) output.error("[" + path + "]: not a printer profile: not imported");

  std::vector<Imported> imported;
  bool refused = false;
  if (const auto* profiles = parsed.tree->findKey(kProfilesFullPath)) {
    for (const auto* key : profiles->subkeys()) {
      const ProfileKeyFault fault = profileKeyFault(key->name(), key->unicodeName());
      if (fault != ProfileKeyFault::none) {
        output.error(profileKeyDisplayName(key->name(), key->unicodeName()) + ": the service would never start it: " +
                     std::string(profileKeyFaultText(fault)));
        refused = true;
        continue;
      }
      Imported profile{key->name(), {}, {}};
      for (const auto& value : key->values()) {
        auto checked = checkStoredValue(value.name, value.type, {value.data.begin(), value.data.end()}, force);
        if (auto* taken = std::get_if<ProfileValue>(&checked)) {
          profile.values.push_back(std::move(*taken));
        } else {
          output.error(key->name() + ": " + std::get<std::string>(checked));
          refused = true;
        }
      }
      for (const std::string& name : deletedValues[key->name()]) {
        if (key->findValue(name) == nullptr) profile.deletedValues.push_back(name);
      }
      imported.push_back(std::move(profile));
    }
  }
  if (refused) {
    output.error("nothing imported");
    return 1;
  }

  std::unique_ptr<platform::RegistryKey> profiles;
  std::uint32_t disposition = 0;
  if (const std::uint32_t error = registry.createKey(kProfilesKeyPath, kProfileWriteAccess, profiles, disposition)) {
    output.systemError("cannot open the profiles", error);
    return 1;
  }
  for (const std::string& name : deletedProfiles) {
    std::uint32_t error = profiles->deleteTree(name);
    if (error == platform::kErrorFileNotFound) continue;  // nothing of it here
    if (error == platform::kErrorSuccess) error = profiles->flush();
    if (error != platform::kErrorSuccess) {
      output.systemError("cannot remove profile " + quoted(name), error);
      return 1;
    }
    output.line("removed " + name);
  }
  for (const Imported& profile : imported) {
    std::unique_ptr<platform::RegistryKey> key;
    std::uint32_t error = registry.createKey(ProfileKeyPath(profile.name), kProfileWriteAccess, key, disposition);
    for (std::size_t i = 0; error == platform::kErrorSuccess && i < profile.values.size(); ++i) {
      error = key->setValue(profile.values[i].name, profile.values[i].type, profile.values[i].data);
    }
    for (std::size_t i = 0; error == platform::kErrorSuccess && i < profile.deletedValues.size(); ++i) {
      error = key->deleteValue(profile.deletedValues[i]);
      if (error == platform::kErrorFileNotFound) error = platform::kErrorSuccess;  // already without it
    }
    if (error == platform::kErrorSuccess) error = key->flush();
    if (error != platform::kErrorSuccess) {
      output.systemError("cannot import profile " + quoted(profile.name), error);
      return 1;
    }
    output.line("imported " + profile.name + (disposition == platform::kRegCreatedNewKey ? " (new)" : " (changed)"));
  }
  return 0;
}

int exportProfiles(platform::Registry& registry, platform::FileSystem& files, const std::vector<std::string>& names,
                   std::string_view file, bool force, ToolOutput& output) {
  std::unique_ptr<platform::RegistryKey> profiles;
  std::uint32_t error = registry.openKey(kProfilesKeyPath, kProfileReadAccess, profiles);
  if (error != platform::kErrorSuccess && !(error == platform::kErrorFileNotFound && names.empty())) {
    output.systemError("cannot open the profiles", error);
    return 1;
  }
  // The profiles in their stored names, those named or all.
  std::vector<std::string> chosen;
  std::string ansi;
  std::string unicode;
  for (std::uint32_t index = 0; profiles && profiles->enumSubkeyNames(index, ansi, unicode) == platform::kErrorSuccess;
       ++index) {
    const bool wanted = names.empty() || std::any_of(names.begin(), names.end(), [&ansi](const std::string& name) {
                          return platform::equalsIgnoringCase(name, ansi);
                        });
    if (!wanted) continue;
    if (profileKeyFault(ansi, unicode) == ProfileKeyFault::notRepresentable) {
      output.error(profileKeyDisplayName(ansi, unicode) + ": its name is out of reach of the ANSI code page: not exported");
      continue;
    }
    chosen.push_back(ansi);
  }
  bool allFound = true;
  for (const std::string& name : names) {
    if (std::none_of(chosen.begin(), chosen.end(),
                     [&name](const std::string& have) { return platform::equalsIgnoringCase(have, name); })) {
      output.error("no profile " + quoted(name));
      allFound = false;
    }
  }
  if (!allFound) return 1;

  RegTree tree;
  tree.createKey(kProfilesFullPath);
  for (const std::string& name : chosen) {
    std::unique_ptr<platform::RegistryKey> key;
    if ((error = registry.openKey(ProfileKeyPath(name), kProfileReadAccess, key)) != platform::kErrorSuccess) {
      output.systemError("cannot open profile " + quoted(name), error);
      return 1;
    }
    auto& exported = tree.createKey(std::string(kProfilesFullPath) + "\\" + name);
    std::string valueName;
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    for (std::uint32_t index = 0; key->enumValue(index, valueName, type, data) == platform::kErrorSuccess; ++index) {
      exported.setValue(valueName, type, platform::regfile::RegData(data));
    }
  }
  const std::string text = platform::regfile::writeRegFile(tree, platform::regfile::RegFileFormat::kVersion5Utf16);

  std::unique_ptr<platform::File> out;
  error = force ? files.createExclusive(file, out) : files.createNew(file, out);
  if (error == platform::kErrorFileExists) {
    output.error(std::string(file) + " exists (--force replaces it)");
    return 1;
  }
  if (error == platform::kErrorSuccess) error = out->write(std::as_bytes(std::span(text.data(), text.size())));
  if (error == platform::kErrorSuccess) error = out->close();
  if (error != platform::kErrorSuccess) {
    output.systemError("cannot write " + std::string(file), error);
    return 1;
  }
  output.line("exported " + std::to_string(chosen.size()) + (chosen.size() == 1 ? " profile" : " profiles") + " to " +
              std::string(file));
  return 0;
}

}  // namespace vorn
