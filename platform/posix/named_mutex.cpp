// Named mutexes on POSIX: an exclusive flock(2) on the file
// mutex/<name> under the platform root. The kernel drops the lock when its
// owner ends, so an owner that ended is no owner (an abandoned mutex is
// simply free).
#include "platform/named_mutex.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <string>

#include "platform/error.h"
#include "platform/posix/errno_codes.h"
#include "platform/posix/root.h"
#include "platform/posix/unique_fd.h"
#include "platform/wait.h"

namespace vorn::platform {
namespace {

// The file name of a mutex: its letters, digits, '-' and '_' as they are,
// every other byte as %XX, so that no name leaves the folder.
std::string fileNameOf(std::string_view name) {
  std::string file;
  std::array<char, 4> escape{};
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9') || c == '-' ||
        c == '_') {
      file.push_back(c);
    } else {
      std::snprintf(escape.data(), escape.size(), "%%%02X", byte);
      file += escape.data();
    }
  }
  return file;
}

class FileMutex final : public NamedMutex {
 public:
  explicit FileMutex(posix::UniqueFd fd) : fd_(std::move(fd)) {}

  // Closing the file drops the lock.
  ~FileMutex() override = default;

  std::uint32_t tryAcquire() override {
    int result = 0;
    while ((result = ::flock(fd_.get(), LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
    }
    if (result == 0) return kWaitObject0;
    if (errno == EWOULDBLOCK) return kWaitTimeout;
    setLastErrorFromErrno();
    return kWaitFailed;
  }

 private:
  posix::UniqueFd fd_;
};

class FileMutexes final : public NamedMutexes {
 public:
  std::uint32_t create(std::string_view name, std::unique_ptr<NamedMutex>& mutex) override {
    mutex.reset();
    if (name.empty() || name.find('\\') != std::string_view::npos) return failed(kErrorInvalidName);
    std::filesystem::path folder;
    if (const std::uint32_t error = rootFolder("mutex", folder)) return failed(error);
    const std::string path = (folder / fileNameOf(name)).string();
    // Read access is all a lock needs; the mode does not come from the umask.
    posix::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644));
    if (!fd) return setLastErrorFromErrno();
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) return setLastErrorFromErrno();
    if (info.st_uid == ::geteuid() && (info.st_mode & 07777) != 0644 && ::fchmod(fd.get(), 0644) != 0)
      return setLastErrorFromErrno();
    mutex = std::make_unique<FileMutex>(std::move(fd));
    return kErrorSuccess;
  }

 private:
  static std::uint32_t failed(std::uint32_t error) {
    setLastError(error);
    return error;
  }
};

}  // namespace

NamedMutexes& systemNamedMutexes() {
  static FileMutexes mutexes;  // stateless: every mutex is its own file
  return mutexes;
}

}  // namespace vorn::platform
