// The platform root on POSIX: $VORNPRINT_ROOT or /var/lib/vornprint.
#include "platform/posix/root.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/error.h"
#include "platform/posix/errno_codes.h"

namespace vorn::platform {
namespace {

using posix::UniqueFd;

constexpr const char* kDefaultRoot = "/var/lib/vornprint";
constexpr mode_t kFolderMode = 0755;

// Makes the folder `name` in `parent` with mode 0755 whatever the umask; one
// that exists is left as it is. 0 or the errno of the failure.
int makeFolder(int parent, const char* name) {
  if (::mkdirat(parent, name, kFolderMode) != 0) return errno == EEXIST ? 0 : errno;
  // Nobody else can have replaced it yet: the parent is not theirs to write.
  return ::fchmodat(parent, name, kFolderMode, 0) == 0 ? 0 : errno;
}

// Opens the folder `name` in `parent` for use as a place to walk from.
// `follow`: a symbolic link is followed (for the folders above the root).
std::uint32_t openFolder(int parent, const char* name, bool follow, UniqueFd& folder) {
  UniqueFd fd(::openat(parent, name, O_PATH | O_CLOEXEC | (follow ? 0 : O_NOFOLLOW)));
  if (!fd) return errno == ENOTDIR ? kErrorPathNotFound : win32FromErrno(errno);
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) return win32FromErrno(errno);
  if (S_ISLNK(info.st_mode)) return kErrorAccessDenied;
  if (!S_ISDIR(info.st_mode)) return kErrorPathNotFound;
  folder = std::move(fd);
  return kErrorSuccess;
}

// A folder of the root may be trusted: it belongs to root or to us, and
// nobody else may add, remove or replace what is in it.
std::uint32_t checkTrusted(int folder) {
  struct stat info {};
  if (::fstat(folder, &info) != 0) return win32FromErrno(errno);
  const bool owner = info.st_uid == 0 || info.st_uid == ::geteuid();
  return owner && (info.st_mode & S_IWOTH) == 0 ? kErrorSuccess : kErrorAccessDenied;
}

// Walks `path` from `start`, making each missing folder; every folder after
// the first `untrusted` components is checked as a folder of the root.
std::uint32_t walk(UniqueFd& current, const std::filesystem::path& path, std::size_t untrusted) {
  std::size_t index = 0;
  for (const auto& part : path.relative_path()) {
    if (part.empty()) continue;
    const bool ofRoot = index++ >= untrusted;
    if (const int error = makeFolder(current.get(), part.c_str())) {
      return error == ENOTDIR ? kErrorPathNotFound : win32FromErrno(error);
    }
    UniqueFd next;
    if (const std::uint32_t error = openFolder(current.get(), part.c_str(), !ofRoot, next)) return error;
    if (ofRoot) {
      if (const std::uint32_t error = checkTrusted(next.get())) return error;
    }
    current = std::move(next);
  }
  return kErrorSuccess;
}

}  // namespace

std::filesystem::path platformRoot() {
  const char* root = std::getenv("VORNPRINT_ROOT");
  return (root != nullptr && *root != '\0') ? std::filesystem::path(root) : std::filesystem::path(kDefaultRoot);
}

std::uint32_t rootFolder(const std::filesystem::path& relative, std::filesystem::path& folder) {
  std::error_code error;
  const std::filesystem::path root = std::filesystem::absolute(platformRoot(), error).lexically_normal();
  if (error) return kErrorPathNotFound;
  const std::filesystem::path below = relative.lexically_normal();
  if (below.is_absolute() || (!below.empty() && *below.begin() == "..")) return kErrorInvalidName;

  UniqueFd current(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!current) return win32FromErrno(errno);
  // The folders above the root are the machine's; the root's last component
  // and everything below it are ours to check.
  std::size_t above = 0;
  for (const auto& part : root.relative_path())
    if (!part.empty()) ++above;
  if (above == 0) return kErrorAccessDenied;  // "/" itself is no root of ours
  if (const std::uint32_t code = walk(current, root, above - 1)) return code;
  if (const std::uint32_t code = walk(current, below, 0)) return code;
  folder = (root / below).lexically_normal();
  if (!folder.empty() && !folder.has_filename()) folder = folder.parent_path();
  return kErrorSuccess;
}

namespace posix {

int openStateFile(int folder, const char* name, int flags, UniqueFd& file) {
  for (;;) {
    UniqueFd made(::openat(folder, name, flags | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kStateFileMode));
    if (made) {
      if (::fchmod(made.get(), kStateFileMode) != 0) return errno;
      file = std::move(made);
      return 0;
    }
    if (errno != EEXIST) return errno;
    UniqueFd existing(::openat(folder, name, flags | O_NOFOLLOW | O_CLOEXEC));
    if (existing) {
      file = std::move(existing);
      return 0;
    }
    if (errno == ELOOP) return EACCES;  // a symbolic link where the file belongs
    if (errno != ENOENT) return errno;  // else it went meanwhile: make it again
  }
}

}  // namespace posix
}  // namespace vorn::platform
