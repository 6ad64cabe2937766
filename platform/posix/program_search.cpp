#include "platform/posix/program_search.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "platform/process.h"

namespace vorn::platform::posix {
namespace {

bool isExecutableFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

std::vector<std::string> searchFolders() {
  std::vector<std::string> folders;
  const std::string self = moduleFileName();
  if (const auto slash = self.rfind('/'); slash != std::string::npos) folders.push_back(self.substr(0, slash));
  const char* path = std::getenv("PATH");
  std::string_view entries = path != nullptr ? path : "";
  while (!entries.empty()) {
    const auto colon = entries.find(':');
    const std::string_view entry = entries.substr(0, colon);
    if (entry.starts_with('/')) folders.emplace_back(entry);
    entries = colon == std::string_view::npos ? std::string_view{} : entries.substr(colon + 1);
  }
  return folders;
}

}  // namespace

std::string findProgram(std::string_view program) {
  if (program.empty()) return {};
  if (program.find('/') != std::string_view::npos) {
    std::string path(program);
    return isExecutableFile(path) ? path : std::string{};
  }
  for (const std::string& folder : searchFolders()) {
    std::string candidate = folder + "/";
    candidate += program;
    if (isExecutableFile(candidate)) return candidate;
  }
  return {};
}

}  // namespace vorn::platform::posix
