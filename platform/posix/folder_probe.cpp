#include "platform/folder_probe.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/error.h"
#include "platform/posix/errno_codes.h"
#include "platform/posix/host_path.h"

namespace vorn::platform {

std::uint32_t probeFolder(std::string_view path, FolderUse use) {
  const std::string folder = posix::hostPath(path);
  struct stat info {};
  if (::stat(folder.c_str(), &info) != 0) return win32FromErrno(errno);
  if (!S_ISDIR(info.st_mode)) return kErrorDirectory;
  // As this process's own user would be refused or allowed, root included.
  const int wanted = use == FolderUse::write ? (W_OK | X_OK) : (R_OK | X_OK);
  if (::faccessat(AT_FDCWD, folder.c_str(), wanted, AT_EACCESS) != 0) return win32FromErrno(errno);
  return kErrorSuccess;
}

}  // namespace vorn::platform
