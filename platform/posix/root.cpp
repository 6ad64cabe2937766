// The platform root on POSIX: $VORNPRINT_ROOT or /var/lib/vornprint.
#include "platform/root.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>

namespace vorn::platform {
namespace {

constexpr const char* kDefaultRoot = "/var/lib/vornprint";

// mkdir with mode 0755 for one folder; an existing folder is fine.
void makeFolder(const std::filesystem::path& folder) {
  if (::mkdir(folder.c_str(), 0755) == 0) return;
  const int error = errno;
  struct stat info {};
  if (error == EEXIST && ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return;
  throw std::filesystem::filesystem_error("cannot create folder", folder,
                                          std::error_code(error == EEXIST ? ENOTDIR : error, std::generic_category()));
}

}  // namespace

std::filesystem::path platformRoot() {
  const char* root = std::getenv("VORNPRINT_ROOT");
  return (root != nullptr && *root != '\0') ? std::filesystem::path(root) : std::filesystem::path(kDefaultRoot);
}

std::filesystem::path rootFolder(const std::filesystem::path& relative) {
  const std::filesystem::path folder = (platformRoot() / relative).lexically_normal();
  // Each missing component is created in turn, so that every one gets 0755.
  std::filesystem::path partial;
  for (const auto& part : folder) {
    partial /= part;
    if (part == "/" || part.empty()) continue;
    makeFolder(partial);
  }
  return folder;
}

}  // namespace vorn::platform
