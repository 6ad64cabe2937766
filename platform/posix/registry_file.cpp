#include "platform/posix/registry_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "platform/error.h"
#include "platform/posix/errno_codes.h"
#include "platform/posix/root.h"

namespace vorn::platform::posix {
namespace {

constexpr const char* kFileName = "registry.reg";
constexpr const char* kLockName = "registry.lock";
constexpr mode_t kNewFileMode = 0644;

std::uint32_t lastErrno() { return win32FromErrno(errno); }

// The platform root, made when missing.
std::uint32_t rootPath(std::filesystem::path& root) { return rootFolder(".", root); }

// write(2) of every byte.
bool writeAll(int fd, std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes = bytes.subspan(static_cast<std::size_t>(n));
  }
  return true;
}

// From this size on a buffer is asked for in huge pages.
constexpr std::size_t kHugePage = 2 * 1024 * 1024;

// A buffer of `size` bytes, not cleared.
std::shared_ptr<std::uint8_t[]> allocateBuffer(std::size_t size) {
  if (size < kHugePage) return std::make_shared_for_overwrite<std::uint8_t[]>(size);
  const std::size_t mapped = (size + kHugePage - 1) / kHugePage * kHugePage;
  void* memory = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) throw std::bad_alloc();
  // Only advice: a kernel without huge pages (EINVAL) serves small ones.
  if (::madvise(memory, mapped, MADV_HUGEPAGE) != 0 && errno != EINVAL) {
    ::munmap(memory, mapped);
    throw std::bad_alloc();
  }
  return std::shared_ptr<std::uint8_t[]>(static_cast<std::uint8_t*>(memory),
                                         [mapped](std::uint8_t* bytes) { ::munmap(bytes, mapped); });
}

}  // namespace

std::filesystem::path registryFilePath() { return platformRoot() / kFileName; }

std::uint32_t readWholeFile(int fd, std::size_t expectedSize, std::size_t maxSize, FileBytes& bytes) {
  // One byte more than expected, so that the end shows without a second buffer.
  std::size_t capacity = expectedSize + 1;
  auto data = allocateBuffer(capacity);
  std::size_t got = 0;
  while (true) {
    if (got == capacity) {  // the file grew since it was opened
      const std::size_t larger = capacity * 2;
      auto grown = allocateBuffer(larger);
      std::memcpy(grown.get(), data.get(), got);
      data = std::move(grown);
      capacity = larger;
    }
    const ssize_t n = ::read(fd, data.get() + got, capacity - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return lastErrno();
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
    if (got > maxSize) return kErrorBadDb;
  }
  bytes.data_ = std::move(data);
  bytes.size_ = got;
  return kErrorSuccess;
}

std::uint32_t RegistryWriteLock::acquire() {
  std::filesystem::path root;
  if (const std::uint32_t error = rootPath(root)) return error;
  UniqueFd fd(::open((root / kLockName).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, kNewFileMode));
  if (!fd) return lastErrno();
  // Its mode is the state files' whatever the umask; only its owner sets it.
  if (::fchmod(fd.get(), kNewFileMode) != 0 && errno != EPERM) return lastErrno();
  int locked;
  do {
    locked = ::flock(fd.get(), LOCK_EX);
  } while (locked != 0 && errno == EINTR);
  if (locked != 0) return lastErrno();
  fd_ = std::move(fd);
  return kErrorSuccess;
}

std::uint32_t readRegistryFile(const RegistryWriteLock& /*held*/, FileBytes& bytes, bool& exists) {
  exists = false;
  UniqueFd fd(::open(registryFilePath().c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) return errno == ENOENT ? kErrorSuccess : lastErrno();
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) return lastErrno();
  if (!S_ISREG(info.st_mode)) return kErrorBadDb;
  exists = true;
  return readWholeFile(fd.get(), static_cast<std::size_t>(info.st_size), kMaxRegistryFileSize, bytes);
}

std::uint32_t replaceRegistryFile(const RegistryWriteLock& /*held*/, std::span<const std::uint8_t> bytes) {
  std::filesystem::path root;
  if (const std::uint32_t error = rootPath(root)) return error;
  const std::filesystem::path file = root / kFileName;
  struct stat old {};
  const bool hadFile = ::stat(file.c_str(), &old) == 0;
  if (!hadFile && errno != ENOENT) return lastErrno();

  std::string temporary = (root / ".registry.reg.XXXXXX").string();
  UniqueFd fd(::mkostemp(temporary.data(), O_CLOEXEC));
  if (!fd) return lastErrno();
  // From here on a failure takes the temporary file away again.
  const auto fail = [&temporary](std::uint32_t error) {
    ::unlink(temporary.c_str());
    return error;
  };
  const mode_t mode = hadFile ? (old.st_mode & 07777) : kNewFileMode;
  if (::fchmod(fd.get(), mode) != 0) return fail(lastErrno());
  if (hadFile && ::geteuid() == 0 && (old.st_uid != 0 || old.st_gid != 0) &&
      ::fchown(fd.get(), old.st_uid, old.st_gid) != 0) {
    return fail(lastErrno());
  }
  if (!writeAll(fd.get(), bytes) || ::fsync(fd.get()) != 0) return fail(lastErrno());
  if (::close(fd.release()) != 0) return fail(lastErrno());
  if (::rename(temporary.c_str(), file.c_str()) != 0) return fail(lastErrno());
  // The rename itself reaches the disk with its folder.
  UniqueFd folder(::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!folder || ::fsync(folder.get()) != 0) return lastErrno();
  return kErrorSuccess;
}

}  // namespace vorn::platform::posix
