// HKEY_LOCAL_MACHINE on POSIX: the file "registry.reg" under the platform root,
// read afresh at each key open.
#include "platform/registry.h"

#include "platform/error.h"
#include "platform/posix/reg_parser.h"
#include "platform/posix/unique_fd.h"
#include "platform/posix/root.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <syslog.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace vorn::platform {
namespace {

using posix::RegKey;
using posix::RegTree;
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
    const posix::RegValue* value = key_.findValue(name);
    if (value == nullptr) return kErrorFileNotFound;
    type = value->type;
    size = static_cast<std::uint32_t>(value->data.size());
    if (buffer.empty()) return kErrorSuccess;  // type and size only
    if (buffer.size() < value->data.size()) return kErrorMoreData;
    std::copy(value->data.begin(), value->data.end(), buffer.begin());
    return kErrorSuccess;
  }

  std::uint32_t enumSubkey(std::uint32_t index, std::string& name) override {
    const auto subkeys = key_.subkeys();
    if (index >= subkeys.size()) return kErrorNoMoreItems;
    name = subkeys[index]->name();
    return kErrorSuccess;
  }

 private:
  std::shared_ptr<const RegTree> tree_;  // keeps key_ alive
  const RegKey& key_;
};

// Reads the whole file; a Win32 code on failure.
std::uint32_t readFile(const std::filesystem::path& file, std::vector<std::uint8_t>& bytes) {
  UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
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
  bytes.resize(static_cast<std::size_t>(info.st_size));
  std::size_t got = 0;
  while (true) {
    if (got == bytes.size()) bytes.resize(bytes.size() + 4096);  // the file may have grown
    const ssize_t n = ::read(fd.get(), bytes.data() + got, bytes.size() - got);
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
    const std::filesystem::path file = platformRoot() / "registry.reg";
    std::vector<std::uint8_t> bytes;
    if (const std::uint32_t result = readFile(file, bytes); result != kErrorSuccess) return fail(result);

    posix::RegParseResult parsed = posix::parseRegFile(bytes, file.string());
    if (!parsed.tree) {
      reportRegistryFault(parsed.error);
      return fail(kErrorBadDb);
    }
    auto tree = std::make_shared<const RegTree>(std::move(*parsed.tree));
    std::string full;
    const RegKey* found = fullPathOf(path, full) ? tree->findKey(full) : nullptr;
    if (found == nullptr) return fail(kErrorFileNotFound);
    key = std::make_unique<FileRegistryKey>(std::move(tree), *found);
    return kErrorSuccess;
  }

 private:
  // Like the Reg* calls, results are returned, not left as the last error.
  static std::uint32_t fail(std::uint32_t code) { return code; }
};

}  // namespace

Registry& systemRegistry() {
  static FileRegistry registry;  // stateless: the root is read at each open
  return registry;
}

}  // namespace vorn::platform
