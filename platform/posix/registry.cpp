// HKEY_LOCAL_MACHINE on POSIX: the file "registry.reg" under the platform root.
// The parsed file is kept and parsed again only when the file changed (its
// device, inode, size or modification time), so edits take effect at the
// next key open while a large registry is not parsed at every open.
#include "platform/registry.h"

#include "platform/error.h"
#include "platform/regfile/reg_parser.h"
#include "platform/posix/registry_cache.h"
#include "platform/posix/unique_fd.h"
#include "platform/posix/root.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <syslog.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <optional>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

namespace vorn::platform {
namespace {

using regfile::RegKey;
using regfile::RegTree;
using posix::UniqueFd;

constexpr std::string_view kMachineHive = "HKEY_LOCAL_MACHINE";
// A registry file larger than this is taken as damaged rather than read.
constexpr off_t kMaxRegistryFileSize = 64 * 1024 * 1024;

// Tells an administrator why the registry cannot be used: on standard error,
// and in the system log, where a detached program's standard error is lost.
void reportRegistryFault(const std::string& message) {
  std::fprintf(stderr, "registry: %s\n", message.c_str());
  std::fflush(stderr);
  ::openlog("VORN", LOG_PID, LOG_USER);
  ::syslog(LOG_ERR, "registry: %s", message.c_str());
}

class FileRegistryKey final : public RegistryKey {
 public:
  FileRegistryKey(std::shared_ptr<const RegTree> tree, const RegKey& key) : tree_(std::move(tree)), key_(key) {}

  std::uint32_t queryValue(std::string_view name, std::uint32_t& type, std::span<std::uint8_t> buffer,
                           std::uint32_t& size) override {
    const regfile::RegValue* value = key_.findValue(name);
    if (value == nullptr) return kErrorFileNotFound;
    type = value->type;
    size = static_cast<std::uint32_t>(value->data.size());
    if (buffer.empty()) return kErrorSuccess;  // type and size only
    if (buffer.size() < value->data.size()) return kErrorMoreData;
    std::copy(value->data.begin(), value->data.end(), buffer.begin());
    return kErrorSuccess;
  }

  std::uint32_t enumSubkey(std::uint32_t index, std::string& name) override {
    // Listed once an open key: enumerating n subkeys one index at a time
    // must not cost n listings.
    if (!subkeys_) subkeys_ = key_.subkeys();
    if (index >= subkeys_->size()) return kErrorNoMoreItems;
    name = (*subkeys_)[index]->name();
    return kErrorSuccess;
  }

  std::uint32_t enumSubkeyNames(std::uint32_t index, std::string& ansiName, std::string& unicodeName) override {
    const auto subkeys = key_.subkeys();
    if (index >= subkeys.size()) return kErrorNoMoreItems;
    ansiName = subkeys[index]->name();
    unicodeName = subkeys[index]->unicodeName();
    return kErrorSuccess;
  }

 private:
  std::shared_ptr<const RegTree> tree_;  // keeps key_ alive
  const RegKey& key_;
  std::optional<std::vector<const RegKey*>> subkeys_;
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
  if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > kMaxRegistryFileSize) {
    reportRegistryFault(file.string() + ": not a readable registry file");
    return kErrorBadDb;
  }
  version = FileVersion::of(info);
  return kErrorSuccess;
}

// Reads the whole open file; a Win32 code on failure.
std::uint32_t readFile(const std::filesystem::path& file, int fd, off_t size, std::vector<std::uint8_t>& bytes) {
  bytes.resize(static_cast<std::size_t>(size));
  std::size_t got = 0;
  while (true) {
    if (got == bytes.size()) bytes.resize(bytes.size() + 4096);  // the file may have grown
    const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      reportRegistryFault(file.string() + ": " + std::strerror(errno));
      return kErrorBadDb;
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
    if (got > static_cast<std::size_t>(kMaxRegistryFileSize)) {
      reportRegistryFault(file.string() + ": not a readable registry file");
      return kErrorBadDb;
    }
  }
  bytes.resize(got);
  return kErrorSuccess;
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

class FileRegistry final : public Registry {
 public:
  std::uint32_t openKey(std::string_view path, std::uint32_t /*access: views do not apply*/,
                        std::unique_ptr<RegistryKey>& key) override {
    key.reset();
    std::shared_ptr<const RegTree> tree;
    if (const std::uint32_t result = currentTree(tree); result != kErrorSuccess) return fail(result);
    std::string full;
    const RegKey* found = fullPathOf(path, full) ? tree->findKey(full) : nullptr;
    if (found == nullptr) return fail(kErrorFileNotFound);
    key = std::make_unique<FileRegistryKey>(std::move(tree), *found);
    return kErrorSuccess;
  }

  std::uint64_t parseCount() {
    std::lock_guard lock(mutex_);
    return parseCount_;
  }

 private:
  // Like the Reg* calls, results are returned, not left as the last error.
  static std::uint32_t fail(std::uint32_t code) { return code; }

  // The tree of the file as it is now: the one kept when the file is the
  // version it was parsed from, else parsed afresh. A malformed version is
  // kept too, and reported at every open as before.
  std::uint32_t currentTree(std::shared_ptr<const RegTree>& tree) {
    const std::filesystem::path file = platformRoot() / "registry.reg";
    UniqueFd fd;
    FileVersion version;
    if (const std::uint32_t result = openFile(file, fd, version); result != kErrorSuccess) return result;

    std::lock_guard lock(mutex_);
    if (!(parsed_ && parsed_->settled && parsed_->file == file && parsed_->version == version)) {
      const bool settled = version.settled();  // before the bytes are read
      std::vector<std::uint8_t> bytes;
      if (const std::uint32_t result = readFile(file, fd.get(), version.size, bytes); result != kErrorSuccess)
        return result;
      regfile::RegParseResult result = regfile::parseRegFile(bytes, file.string());
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
