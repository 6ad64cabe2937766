// The platform root on POSIX: $VORNPRINT_ROOT or /var/lib/vornprint.
#include "platform/posix/root.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>

#include "platform/posix/errno_codes.h"

namespace vorn::platform {
namespace {

constexpr const char* kDefaultRoot = "/var/lib/vornprint";

// mkdir with mode 0755 for one folder; an existing folder is fine. 0 or the
// errno of the failure (ENOTDIR when something else is in the way).
int makeFolder(const std::filesystem::path& folder) {
  if (::mkdir(folder.c_str(), 0755) == 0) return 0;
  const int error = errno;
  struct stat info {};
  if (error != EEXIST) return error;
  return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
}

}  // namespace

std::filesystem::path platformRoot() {
  const char* root = std::getenv("VORNPRINT_ROOT");
  return (root != nullptr && *root != '\0') ? std::filesystem::path(root) : std::filesystem::path(kDefaultRoot);
}

std::uint32_t rootFolder(const std::filesystem::path& relative, std::filesystem::path& folder) {
  const std::filesystem::path wanted = (platformRoot() / relative).lexically_normal();
  // Each missing component is created in turn, so that every one gets 0755.
  std::filesystem::path partial;
  for (const auto& part : wanted) {
    partial /= part;
    if (part == "/" || part.empty()) continue;
    if (const int error = makeFolder(partial)) return win32FromErrno(error);
  }
  folder = wanted;
  return 0;
}

}  // namespace vorn::platform
