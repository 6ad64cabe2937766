// HKEY_LOCAL_MACHINE on POSIX: the file "registry.reg" under the platform root.
// The parsed file is kept and parsed again only when the file changed (its
// device, inode, size or modification time), so edits take effect at the
// next key open while a large registry is not parsed at every open.
// Writers change the file in place, under the writers' lock
// (platform/posix/registry_file.h, platform/regfile/reg_file_editor.h).
#include "platform/registry.h"

#include "platform/error.h"
#include "platform/posix/registry_cache.h"
#include "platform/posix/registry_file.h"
#include "platform/posix/root.h"
#include "platform/posix/unique_fd.h"
#include "platform/regfile/reg_file_editor.h"
#include "platform/regfile/reg_parser.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <syslog.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <variant>
#include <vector>

namespace vorn::platform {
namespace {

using posix::FileBytes;
using posix::UniqueFd;
using regfile::RegKey;
using regfile::RegTree;

constexpr std::string_view kMachineHive = "HKEY_LOCAL_MACHINE";

// Tells an administrator why the registry cannot be used: on standard error,
// and in the system log, where a detached program's standard error is lost.
void reportRegistryFault(const std::string& message) {
  std::fprintf(stderr, "registry: %s\n", message.c_str());
  std::fflush(stderr);
  ::openlog("VORN", LOG_PID, LOG_USER);
  ::syslog(LOG_ERR, "registry: %s", message.c_str());
}

// The key path under HKEY_LOCAL_MACHINE as a full path; false when it is not
// a valid path. One trailing backslash is allowed, as Windows allows it.
bool fullPathOf(std::string_view path, std::string& full) {
  if (!path.empty() && path.back() == '\\') path.remove_suffix(1);
  full = kMachineHive;
  if (path.empty()) return true;
  if (path.front() == '\\' || path.find("\\\\") != std::string_view::npos || path.back() == '\\') return false;
  full += '\\';
  full += path;
  return true;
}

// A change made through an open key, kept until the key is flushed.
struct SetValue {
  std::string name;
  std::uint32_t type;
  regfile::RegData data;
};
struct DeleteValue {
  std::string name;
};
struct DeleteTree {
  std::string path;  // the subkey's full path
};
using KeyChange = std::variant<SetValue, DeleteValue, DeleteTree>;

// Opens the registry file for a change: under the writers' lock, the file
// as it is now (or a new one), ready to be changed in place.
std::uint32_t openForChange(posix::RegistryWriteLock& lock, std::optional<regfile::RegFileEditor>& editor,
                            bool& existed) {
  if (const std::uint32_t error = lock.acquire()) return error;
  FileBytes bytes;
  if (const std::uint32_t error = posix::readRegistryFile(lock, bytes, existed)) return error;
  if (!existed) {
    editor.emplace();
    return kErrorSuccess;
  }
  std::string fault;
  std::vector<std::string> warnings;
  editor = regfile::RegFileEditor::open(bytes.bytes(), posix::registryFilePath().string(), fault, &warnings);
  if (!editor) {
    // Never written over: what it holds would be lost.
    reportRegistryFault(fault);
    return kErrorBadDb;
  }
  // Kept as they are in the file, and told to the writer too.
  for (const std::string& warning : warnings) reportRegistryFault(warning);
  return kErrorSuccess;
}

std::uint32_t saveChanged(const posix::RegistryWriteLock& lock, const regfile::RegFileEditor& editor) {
  const std::string bytes = editor.bytes();
  return posix::replaceRegistryFile(lock, std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

class FileRegistryKey final : public RegistryKey {
 public:
  FileRegistryKey(std::shared_ptr<const RegTree> tree, const RegKey& key, std::string path, std::uint32_t access)
      : tree_(std::move(tree)), key_(&key), path_(std::move(path)), access_(access) {}
  ~FileRegistryKey() override {
    if (!changes_.empty()) flush();  // RegCloseKey cannot report it: callers flush
  }
  FileRegistryKey(const FileRegistryKey&) = delete;
  FileRegistryKey& operator=(const FileRegistryKey&) = delete;

  std::uint32_t queryValue(std::string_view name, std::uint32_t& type, std::span<std::uint8_t> buffer,
                           std::uint32_t& size) override {
    const auto [found, valueType, data] = currentValue(name);
    if (!found) return kErrorFileNotFound;
    type = valueType;
    size = static_cast<std::uint32_t>(data.size());
    if (buffer.empty()) return kErrorSuccess;  // type and size only
    if (buffer.size() < data.size()) return kErrorMoreData;
    std::copy(data.begin(), data.end(), buffer.begin());
    return kErrorSuccess;
  }

  std::uint32_t enumSubkey(std::uint32_t index, std::string& name) override {
    std::string unicodeName;
    return enumSubkeyNames(index, name, unicodeName);
  }

  std::uint32_t enumSubkeyNames(std::uint32_t index, std::string& ansiName, std::string& unicodeName) override {
    // Listed once an open key: enumerating n subkeys one index at a time
    // must not cost n listings.
    if (!subkeys_) subkeys_ = key_->subkeys();
    if (index >= subkeys_->size()) return kErrorNoMoreItems;
    ansiName = (*subkeys_)[index]->name();
    unicodeName = (*subkeys_)[index]->unicodeName();
    return kErrorSuccess;
  }

  std::uint32_t enumValue(std::uint32_t index, std::string& name, std::uint32_t& type,
                          std::vector<std::uint8_t>& data) override {
    const auto& values = key_->values();
    if (index >= values.size()) return kErrorNoMoreItems;
    name = values[index].name;
    type = values[index].type;
    data.assign(values[index].data.begin(), values[index].data.end());
    return kErrorSuccess;
  }

  std::uint32_t setValue(std::string_view name, std::uint32_t type, std::span<const std::uint8_t> data) override {
    if (!writable()) return kErrorAccessDenied;
    if (!validValueName(name)) return kErrorInvalidParameter;
    changes_.emplace_back(SetValue{std::string(name), type, regfile::RegData(data)});
    return kErrorSuccess;
  }

  std::uint32_t deleteValue(std::string_view name) override {
    if (!writable()) return kErrorAccessDenied;
    if (!std::get<0>(currentValue(name))) return kErrorFileNotFound;
    changes_.emplace_back(DeleteValue{std::string(name)});
    return kErrorSuccess;
  }

  std::uint32_t deleteTree(std::string_view subkey) override {
    if (!writable()) return kErrorAccessDenied;
    std::string path = path_ + "\\" + std::string(subkey);
    if (subkey.empty() || !regfile::splitKeyPath(path)) return kErrorInvalidParameter;
    const bool deletedBefore = std::any_of(changes_.begin(), changes_.end(), [&path](const KeyChange& change) {
      const auto* tree = std::get_if<DeleteTree>(&change);
      return tree != nullptr && regfile::regNamesEqual(tree->path, path);
    });
    if (deletedBefore || tree_->findKey(path) == nullptr) return kErrorFileNotFound;
    changes_.emplace_back(DeleteTree{std::move(path)});
    return kErrorSuccess;
  }

  // The changes in one replacement of the file, applied to the file as it is
  // now: another writer's changes since this key was opened stay.
  std::uint32_t flush() override {
    if (changes_.empty()) return kErrorSuccess;
    posix::RegistryWriteLock lock;
    std::optional<regfile::RegFileEditor> editor;
    bool existed = false;
    if (const std::uint32_t error = openForChange(lock, editor, existed)) return error;
    if (!existed || editor->tree().findKey(path_) == nullptr) {
      changes_.clear();
      return kErrorKeyDeleted;  // removed by another writer meanwhile
    }
    try {
      for (KeyChange& change : changes_) {
        if (auto* set = std::get_if<SetValue>(&change)) {
          editor->setValue(path_, set->name, set->type, std::move(set->data));
        } else if (const auto* value = std::get_if<DeleteValue>(&change)) {
          editor->deleteValue(path_, value->name);  // already gone is as good
        } else {
          editor->deleteTree(std::get<DeleteTree>(change).path);
        }
      }
    } catch (const std::invalid_argument&) {
      changes_.clear();
      return kErrorInvalidParameter;  // a name the file cannot hold
    }
    changes_.clear();
    if (const std::uint32_t error = saveChanged(lock, *editor)) return error;
    // From now on the key reads as it was written.
    auto tree = std::make_shared<const RegTree>(std::move(*editor).takeTree());
    if (const RegKey* key = tree->findKey(path_)) {
      tree_ = std::move(tree);
      key_ = key;
      subkeys_.reset();
    }
    return kErrorSuccess;
  }

 private:
  bool writable() const { return (access_ & kKeySetValue) != 0; }

  static bool validValueName(std::string_view name) {
    return name.size() <= regfile::kMaxValueNameLength &&
           name.find_first_of(std::string_view("\0\r\n", 3)) == std::string_view::npos;
  }

  // The value as this key's own changes left it: found, type, data.
  std::tuple<bool, std::uint32_t, std::span<const std::uint8_t>> currentValue(std::string_view name) const {
    for (auto change = changes_.rbegin(); change != changes_.rend(); ++change) {
      if (const auto* set = std::get_if<SetValue>(&*change); set != nullptr && regfile::regNamesEqual(set->name, name))
        return {true, set->type, set->data.bytes()};
      if (const auto* gone = std::get_if<DeleteValue>(&*change);
          gone != nullptr && regfile::regNamesEqual(gone->name, name))
        return {false, 0, {}};
    }
    const regfile::RegValue* value = key_->findValue(name);
    if (value == nullptr) return {false, 0, {}};
    return {true, value->type, value->data.bytes()};
  }

  std::shared_ptr<const RegTree> tree_;  // keeps key_ alive
  const RegKey* key_;
  std::string path_;  // full, "HKEY_LOCAL_MACHINE\…"
  std::uint32_t access_;
  std::optional<std::vector<const RegKey*>> subkeys_;
  std::vector<KeyChange> changes_;
};

// One version of the registry file: any edit or replacement changes it.
struct FileVersion {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  std::int64_t modifiedSeconds = 0;
  long modifiedNanoseconds = 0;

  static FileVersion of(const struct stat& info) {
    return {info.st_dev, info.st_ino, info.st_size, static_cast<std::int64_t>(info.st_mtim.tv_sec),
            info.st_mtim.tv_nsec};
  }
  friend bool operator==(const FileVersion&, const FileVersion&) = default;

  // Whether a later write must show as another version: not when the file
  // was modified in the current tick of the clock that stamps files, since
  // a second write in that tick could keep the size and the time.
  bool settled() const {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
    return now.tv_sec > modifiedSeconds || (now.tv_sec == modifiedSeconds && now.tv_nsec > modifiedNanoseconds);
  }
};

// Opens the file and tells its version; a Win32 code on failure.
std::uint32_t openFile(const std::filesystem::path& file, UniqueFd& fd, FileVersion& version) {
  fd = UniqueFd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) {
    const int error = errno;
    if (error == ENOENT || error == ENOTDIR) return kErrorFileNotFound;
    reportRegistryFault(file.string() + ": " + std::strerror(error));
    return kErrorBadDb;
  }
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
      static_cast<std::size_t>(info.st_size) > posix::kMaxRegistryFileSize) {
    reportRegistryFault(file.string() + ": not a readable registry file");
    return kErrorBadDb;
  }
  version = FileVersion::of(info);
  return kErrorSuccess;
}

class FileRegistry final : public Registry {
 public:
  std::uint32_t openKey(std::string_view path, std::uint32_t access, std::unique_ptr<RegistryKey>& key) override {
    key.reset();
    std::shared_ptr<const RegTree> tree;
    if (const std::uint32_t result = currentTree(tree); result != kErrorSuccess) return result;
    std::string full;
    const RegKey* found = fullPathOf(path, full) ? tree->findKey(full) : nullptr;
    if (found == nullptr) return kErrorFileNotFound;
    key = std::make_unique<FileRegistryKey>(std::move(tree), *found, std::move(full), access);
    return kErrorSuccess;
  }

  std::uint32_t createKey(std::string_view path, std::uint32_t access, std::unique_ptr<RegistryKey>& key,
                          std::uint32_t& disposition) override {
    key.reset();
    std::string full;
    if (!fullPathOf(path, full) || !regfile::splitKeyPath(full)) return kErrorInvalidParameter;
    posix::RegistryWriteLock lock;
    std::optional<regfile::RegFileEditor> editor;
    bool existed = false;
    if (const std::uint32_t error = openForChange(lock, editor, existed)) return error;
    try {
      disposition = editor->createKey(full) ? kRegCreatedNewKey : kRegOpenedExistingKey;
    } catch (const std::invalid_argument&) {
      return kErrorInvalidParameter;  // a name the file cannot hold
    }
    if (disposition == kRegCreatedNewKey) {
      if (const std::uint32_t error = saveChanged(lock, *editor)) return error;
    }
    auto tree = std::make_shared<const RegTree>(std::move(*editor).takeTree());
    const RegKey* created = tree->findKey(full);
    key = std::make_unique<FileRegistryKey>(std::move(tree), *created, std::move(full), access);
    return kErrorSuccess;
  }

  std::uint64_t parseCount() {
    std::lock_guard lock(mutex_);
    return parseCount_;
  }

 private:
  // The tree of the file as it is now: the one kept when the file is the
  // version it was parsed from, else parsed afresh. A malformed version is
  // kept too, and reported at every open as before.
  std::uint32_t currentTree(std::shared_ptr<const RegTree>& tree) {
    const std::filesystem::path file = posix::registryFilePath();
    UniqueFd fd;
    FileVersion version;
    if (const std::uint32_t result = openFile(file, fd, version); result != kErrorSuccess) return result;

    std::lock_guard lock(mutex_);
    if (!(parsed_ && parsed_->settled && parsed_->file == file && parsed_->version == version)) {
      const bool settled = version.settled();  // before the bytes are read
      FileBytes bytes;
      if (const std::uint32_t result = posix::readWholeFile(fd.get(), static_cast<std::size_t>(version.size),
                                                            posix::kMaxRegistryFileSize, bytes)) {
        reportRegistryFault(file.string() + ": not a readable registry file");
        return kErrorBadDb;
      }
      regfile::RegParseResult result =
          regfile::parseRegFile(regfile::RegFileBytes{bytes.bytes(), bytes.owner()}, file.string());
      // Keys read past are told when they are new, not at every parse.
      if (result.warnings != toldWarnings_) {
        for (const std::string& warning : result.warnings) reportRegistryFault(warning);
        toldWarnings_ = result.warnings;
      }
      parsed_ = Parsed{file, version, settled, nullptr, std::move(result.error)};
      if (result.tree) parsed_->tree = std::make_shared<const RegTree>(std::move(*result.tree));
      ++parseCount_;
    }
    if (!parsed_->tree) {
      reportRegistryFault(parsed_->error);
      return kErrorBadDb;
    }
    tree = parsed_->tree;
    return kErrorSuccess;
  }

  struct Parsed {
    std::filesystem::path file;
    FileVersion version;
    bool settled = false;                 // false: parsed again at the next open
    std::shared_ptr<const RegTree> tree;  // null when that version is malformed
    std::string error;
  };

  std::mutex mutex_;  // the service reads the registry from several threads
  std::optional<Parsed> parsed_;
  std::vector<std::string> toldWarnings_;
  std::uint64_t parseCount_ = 0;
};

FileRegistry& fileRegistry() {
  static FileRegistry registry;  // the process's one view of the registry file
  return registry;
}

}  // namespace

Registry& systemRegistry() { return fileRegistry(); }

namespace posix {
std::uint64_t registryParseCount() { return fileRegistry().parseCount(); }
}  // namespace posix

}  // namespace vorn::platform
