#include "profiles/profile_check.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <memory>
#include <optional>

#include "agent/profile/printer_profile.h"
#include "agent/profile/profile_values.h"
#include "agent/profile/registry_values.h"
#include "common/profile_key_names.h"
#include "platform/ansi_code_page.h"
#include "platform/error.h"

namespace vorn {
namespace {

std::string quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

// A value as stored, for the reasons a reader would not take it.
struct StoredValue {
  bool present = false;
  std::uint32_t type = platform::kRegNone;
  std::vector<std::uint8_t> data;
};

StoredValue readStored(platform::RegistryKey& key, std::string_view name) {
  StoredValue value;
  std::uint32_t size = 0;
  if (key.queryValue(name, value.type, {}, size) != platform::kErrorSuccess) return value;
  value.data.resize(size);
  value.present = key.queryValue(name, value.type, value.data, size) == platform::kErrorSuccess;
  value.data.resize(std::min<std::size_t>(size, value.data.size()));
  return value;
}

bool isText(std::uint32_t type) {
  return type == platform::kRegSz || type == platform::kRegExpandSz || type == platform::kRegMultiSz;
}

// Why the agent reads a text value as empty, or nothing when it reads it whole.
std::optional<std::string> textFault(const StoredValue& value, std::size_t maxChars) {
  if (!value.present) return "is missing";
  if (!isText(value.type)) return "is not a text";
  const auto end = std::find(value.data.begin(), value.data.end(), 0);
  if (end == value.data.end()) return "is a text without its terminating zero";
  const auto chars = static_cast<std::size_t>(end - value.data.begin());
  if (chars > maxChars || value.data.size() > kProfileTextBytes) {
    return "has " + std::to_string(chars) + " characters, the agent takes at most " + std::to_string(maxChars);
  }
  return std::nullopt;
}

bool isAbsolute(std::string_view path) {
  return (!path.empty() && (path[0] == '/' || path[0] == '\\')) ||
         (path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':');
}

std::string folderFault(std::uint32_t error, platform::FolderUse use) {
  switch (error) {
    case platform::kErrorFileNotFound:
    case platform::kErrorPathNotFound: return "does not exist";
    case platform::kErrorDirectory: return "is not a folder";
    case platform::kErrorAccessDenied:
      return use == platform::FolderUse::write ? "is not writable by this user" : "is not readable by this user";
    default: return "cannot be used (" + std::to_string(error) + ")";
  }
}

class ProfileCheck {
 public:
  ProfileCheck(std::string name, platform::RegistryKey& key, CheckEnvironment& environment)
      : name_(std::move(name)), key_(key), environment_(environment) {}

  const std::string& name() const { return name_; }
  bool active() { return ReadTextValue(key_, "Active") == "yes"; }
  std::string printerId() { return ReadTextValue(key_, "printerid"); }

  void run() {
    for (const ProfileValueSpec& spec : profileValueSpecs()) checkValue(spec);
    checkTransport();
    checkTarget();
  }

  void error(std::string text) { findings_.push_back({true, std::move(text)}); }
  void warning(std::string text) { findings_.push_back({false, std::move(text)}); }

  bool failsToStart() const {
    return std::any_of(findings_.begin(), findings_.end(), [](const Finding& f) { return f.error; });
  }
  void write(ToolOutput& output) const {
    for (const Finding& finding : findings_) output.line(name_ + (finding.error ? ": error: " : ": warning: ") + finding.text);
  }

 private:
  struct Finding {
    bool error;
    std::string text;
  };

  void checkValue(const ProfileValueSpec& spec) {
    const std::string name(spec.name);
    const StoredValue value = readStored(key_, spec.name);
    if (spec.kind == ProfileValueKind::number) {
      if (!value.present) return;
      if (value.type != platform::kRegDword || value.data.size() != 4) {
        warning(name + " is not a REG_DWORD number: read as 0");
        return;
      }
      const std::uint32_t number = value.data[0] | (value.data[1] << 8) | (value.data[2] << 16) |
                                   (static_cast<std::uint32_t>(value.data[3]) << 24);
      if (number > 0xFFFF) {
        warning(name + " is " + std::to_string(number) + ": the agent takes its low 16 bits, " +
                std::to_string(number & 0xFFFF));
      }
      return;
    }
    const auto fault = textFault(value, spec.maxChars);
    const std::string text = fault ? std::string() : ReadTextValue(key_, spec.name, spec.maxChars);
    if (spec.required) {
      if (fault || text.empty()) {
        error(name + " " + (fault ? *fault : "is empty") + ": the agent ends with \"registry info missing\"");
      }
      return;
    }
    if (fault && value.present) {
      warning(name + " " + *fault + ": read as " + (spec.kind == ProfileValueKind::flag ? "not set" : "empty"));
    }
    if (spec.kind != ProfileValueKind::flag || fault || text.empty() || text == spec.keyword) return;
    // A flag set only by its exact keyword.
    const bool caseOnly = platform::equalsIgnoringCase(text, spec.keyword);
    const std::string differs = name + " is " + quoted(text) + (caseOnly ? ", not exactly " : ", not ") +
                                quoted(spec.keyword);
    if (name == "Active") {
      if (text != "no") warning(differs + ": the service does not start this profile");
    } else if (name == "CommType") {
      if (text != "pipe") warning(differs + ": the local pipe is used");
    } else {
      warning(differs + ": read as not set");
    }
  }

  void checkTransport() {
    const bool socket = ReadTextValue(key_, "CommType") == "socket";
    const std::string portText = ReadTextValue(key_, "Port");
    const std::int32_t port = ParsePortNumber(portText);
    std::size_t digits = 0;
    while (digits < portText.size() && std::isdigit(static_cast<unsigned char>(portText[digits]))) ++digits;
    if (!portText.empty() && digits != portText.size()) {
      warning("Port " + quoted(portText) + " is read as " + std::to_string(port));
    }
    if (port < 1 || port > 65535) {
      const std::string text = "Port " + std::to_string(port) + " is not a port number (1 to 65535)";
      if (socket) {
        error(text + ": the agent cannot attach by TCP");
      } else {
        warning(text + ": the agent attaches to the local pipe termlink-" + std::to_string(port));
      }
    }
    const std::string machine = ReadTextValue(key_, "Machine");
    if (!socket && !machine.empty() && !environment_.namesThisMachine(machine)) {
      error("Machine " + quoted(machine) +
            " is not this machine, which the local pipe reaches only (CommType \"socket\" attaches by TCP)");
    }
  }

  void checkTarget() {
    const bool toFile = ReadTextValue(key_, "PrintToFile") == "yes";
    const bool toDisk = toFile && ReadTextValue(key_, "directtodisk") == "yes";
    const std::string printer = ReadTextValue(key_, "printername", kPrinterNameMax);
    if (!toDisk && !printer.empty()) {
      if (const std::uint32_t failure = environment_.openPrinter(printer)) {
        error("printername " + quoted(printer) + " is not a printer of this machine (" + std::to_string(failure) +
              ")");
      }
    }
    const std::string loadArea = ReadTextValue(key_, "loadarea", kLoadDirectoryMax);
    if (!loadArea.empty()) {
      checkFolder("loadarea " + quoted(loadArea), "", loadArea, platform::FolderUse::read,
                  "images and macros cannot be loaded");
    }
    if (!toFile) return;
    const std::string prefix = ReadTextValue(key_, "PTFPath");
    const std::size_t separator = prefix.find_last_of("\\/");
    const std::string folder = separator == std::string::npos ? std::string() : prefix.substr(0, separator + 1);
    checkFolder("PTFPath " + quoted(prefix), ": the folder " + folder, folder, platform::FolderUse::write,
                "output files cannot be written");
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    const std::uint16_t pattern = ReadNumberValue(key_, "PTFOpt");
    if (key_.queryValue("PTFOpt", type, {}, size) == platform::kErrorSuccess && pattern > 7) {
      warning("PTFOpt " + std::to_string(pattern) + " is not 0 to 7: files are named as with 0");
    }
  }

  // `what` names the value; `folderNamed` the folder, where it is not the value itself.
  void checkFolder(const std::string& what, const std::string& folderNamed, const std::string& folder,
                   platform::FolderUse use, std::string_view consequence) {
    if (!isAbsolute(folder)) {
      warning(what + " is relative: it is taken from the agent's working folder");
      return;
    }
    if (const std::uint32_t failure = environment_.probeFolder(folder, use)) {
      warning(what + folderNamed + " " + folderFault(failure, use) + ": " + std::string(consequence));
    }
  }

  std::string name_;
  platform::RegistryKey& key_;
  CheckEnvironment& environment_;
  std::vector<Finding> findings_;
};

}  // namespace

int checkProfiles(platform::Registry& registry, CheckEnvironment& environment, const std::vector<std::string>& names,
                  ToolOutput& output) {
  std::unique_ptr<platform::RegistryKey> profiles;
  if (const std::uint32_t error = registry.openKey(kProfilesKeyPath, kProfileReadAccess, profiles)) {
    output.systemError("cannot open the profiles", error);
    return 1;
  }
  const auto named = [&names](std::string_view name) {
    return names.empty() || std::any_of(names.begin(), names.end(), [name](const std::string& wanted) {
             return platform::equalsIgnoringCase(wanted, name);
           });
  };

  // In the registry's order: a profile the service never starts, or its check.
  struct Entry {
    std::string neverStarted;  // the reason, when the service leaves it out
    std::unique_ptr<platform::RegistryKey> key;
    std::optional<ProfileCheck> check;
  };
  std::vector<Entry> entries;
  std::vector<std::string> found;
  std::map<std::string, std::vector<std::string>> activeByPrinterId;
  std::string ansi;
  std::string unicode;
  for (std::uint32_t index = 0; profiles->enumSubkeyNames(index, ansi, unicode) == platform::kErrorSuccess; ++index) {
    const ProfileKeyFault fault = profileKeyFault(ansi, unicode);
    std::unique_ptr<platform::RegistryKey> key;
    if (fault != ProfileKeyFault::notRepresentable &&
        registry.openKey(ProfileKeyPath(ansi), kProfileReadAccess, key) != platform::kErrorSuccess) {
      key.reset();
    }
    if (key && ReadTextValue(*key, "Active") == "yes") activeByPrinterId[ReadTextValue(*key, "printerid")].push_back(ansi);
    // A name the ANSI calls collapse is no name to ask for: only a whole check shows it.
    if (!named(ansi) || (fault == ProfileKeyFault::notRepresentable && !names.empty())) continue;
    found.push_back(ansi);
    Entry entry;
    if (fault != ProfileKeyFault::none || !key) {
      entry.neverStarted = profileKeyDisplayName(ansi, unicode) + ": error: the service never starts it: " +
                           std::string(fault != ProfileKeyFault::none ? profileKeyFaultText(fault)
                                                                      : "its key cannot be opened");
    } else {
      entry.key = std::move(key);
      entry.check.emplace(ansi, *entry.key, environment);
    }
    entries.push_back(std::move(entry));
  }
  bool allFound = true;
  for (const std::string& name : names) {
    if (std::none_of(found.begin(), found.end(),
                     [&name](const std::string& have) { return platform::equalsIgnoringCase(have, name); })) {
      output.error("no profile " + quoted(name));
      allFound = false;
    }
  }
  std::size_t failing = 0;
  for (Entry& entry : entries) {
    if (!entry.check) {
      output.line(entry.neverStarted);
      ++failing;
      continue;
    }
    ProfileCheck& check = *entry.check;
    check.run();
    const auto sharing = activeByPrinterId.find(check.printerId());
    if (check.active() && !check.printerId().empty() && sharing != activeByPrinterId.end() &&
        sharing->second.size() > 1) {
      std::string others;
      for (const std::string& other : sharing->second) {
        if (other != check.name()) others += (others.empty() ? "" : ", ") + other;
      }
      check.error("printerid " + quoted(check.printerId()) + " is also the printerid of active " + others +
                  ": two agents would attach as one printer");
    }
    check.write(output);
    if (check.failsToStart()) ++failing;
  }
  const std::size_t checked = entries.size();
  output.line(std::to_string(checked) + (checked == 1 ? " profile" : " profiles") + " checked: " +
              (failing == 0 ? std::string("none") : std::to_string(failing)) + " would fail to start");
  return failing == 0 && allFound ? 0 : 1;
}

}  // namespace vorn
