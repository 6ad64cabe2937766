// Files on POSIX. A backslash in a path is a folder separator too, so that
// paths composed as on Windows name the same files.
//
// Windows' share modes are kept among our own openers with flock(2): a
// reader holds a shared lock, an exclusive creator an exclusive one, so a
// file being written cannot be opened again while it is held.
#include "platform/file.h"

#include "platform/error.h"
#include "platform/posix/errno_codes.h"
#include "platform/posix/host_path.h"
#include "platform/posix/unique_fd.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace vorn::platform {
namespace {

using posix::UniqueFd;

std::uint32_t failFromErrno() { return setLastErrorFromErrno(); }

std::uint32_t fail(std::uint32_t code) {
  setLastError(code);
  return code;
}

// A lock held by another opener is a sharing violation, as on Windows.
std::uint32_t lock(int fd, int operation) {
  while (::flock(fd, operation | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    return errno == EWOULDBLOCK ? fail(kErrorSharingViolation) : failFromErrno();
  }
  return kErrorSuccess;
}

class PosixFile final : public File {
 public:
  PosixFile(UniqueFd fd, bool accessible) : fd_(std::move(fd)), accessible_(accessible) {}

  std::uint32_t read(std::span<std::byte> buffer, std::size_t& got) override {
    got = 0;
    if (!accessible_) return fail(kErrorAccessDenied);
    if (!fd_) return fail(kErrorInvalidHandle);
    ssize_t n;
    do {
      n = ::read(fd_.get(), buffer.data(), buffer.size());
    } while (n < 0 && errno == EINTR);
    if (n < 0) return failFromErrno();
    got = static_cast<std::size_t>(n);
    return kErrorSuccess;
  }

  std::uint32_t write(std::span<const std::byte> data) override {
    if (!accessible_) return fail(kErrorAccessDenied);
    if (!fd_) return fail(kErrorInvalidHandle);
    while (!data.empty()) {
      const ssize_t n = ::write(fd_.get(), data.data(), data.size());
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return failFromErrno();
      data = data.subspan(static_cast<std::size_t>(n));
    }
    return kErrorSuccess;
  }

  std::uint32_t size(std::uint64_t& bytes) override {
    if (!fd_) return fail(kErrorInvalidHandle);
    struct stat info {};
    if (::fstat(fd_.get(), &info) != 0) return failFromErrno();
    bytes = static_cast<std::uint64_t>(info.st_size);
    return kErrorSuccess;
  }

  std::uint32_t close() override {
    if (!fd_) return fail(kErrorInvalidHandle);
    // close(2) releases the descriptor even when it reports an error.
    if (::close(fd_.release()) != 0 && errno != EINTR) return failFromErrno();
    return kErrorSuccess;
  }

 private:
  UniqueFd fd_;
  bool accessible_;  // false for a handle opened without access rights
};

class PosixFileSystem final : public FileSystem {
 public:
  std::uint32_t openForReading(std::string_view path, std::unique_ptr<File>& file) override {
    file.reset();
    // Opened without blocking, so that a FIFO put where a file is expected
    // cannot hang the caller; reads block as usual afterwards.
    UniqueFd fd(::open(posix::hostPath(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd) return failFromErrno();
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) return failFromErrno();
    if (S_ISDIR(info.st_mode)) return fail(kErrorAccessDenied);  // a folder is not a file to read
    const int flags = ::fcntl(fd.get(), F_GETFL);
    if (flags < 0 || ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) return failFromErrno();
    if (const std::uint32_t result = lock(fd.get(), LOCK_SH); result != kErrorSuccess) return result;
    file = std::make_unique<PosixFile>(std::move(fd), true);
    return kErrorSuccess;
  }

  std::uint32_t openToProbe(std::string_view path, std::unique_ptr<File>& file) override {
    file.reset();
    UniqueFd fd(::open(posix::hostPath(path).c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    if (!fd) return failFromErrno();
    file = std::make_unique<PosixFile>(std::move(fd), false);
    return kErrorSuccess;
  }

  std::uint32_t createExclusive(std::string_view path, std::unique_ptr<File>& file) override {
    // Truncated only once the lock is ours: another holder's data stays intact.
    return create(path, O_CREAT, true, file);
  }

  std::uint32_t createNew(std::string_view path, std::unique_ptr<File>& file) override {
    return create(path, O_CREAT | O_EXCL, false, file);
  }

 private:
  static std::uint32_t create(std::string_view path, int how, bool truncate, std::unique_ptr<File>& file) {
    file.reset();
    // 0666: the umask decides who else may read and write the output.
    UniqueFd fd(::open(posix::hostPath(path).c_str(), how | O_RDWR | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!fd) {
      // With O_CREAT, ENOENT means a folder of the path is missing: Windows
      // reports that as a missing path, not a missing file. ELOOP is a link
      // in the last component, refused as access to it.
      if (errno == ENOENT) return fail(kErrorPathNotFound);
      if (errno == ELOOP) return fail(kErrorAccessDenied);
      if (errno == EEXIST) return fail(kErrorFileExists);
      return failFromErrno();
    }
    if (const std::uint32_t result = lock(fd.get(), LOCK_EX); result != kErrorSuccess) return result;
    if (truncate && ::ftruncate(fd.get(), 0) != 0) return failFromErrno();
    file = std::make_unique<PosixFile>(std::move(fd), true);
    return kErrorSuccess;
  }
};

}  // namespace

FileSystem& systemFileSystem() {
  static PosixFileSystem fileSystem;  // stateless
  return fileSystem;
}

}  // namespace vorn::platform
