#include "platform/posix/host_path.h"

#include <algorithm>

#include "platform/ansi_code_page.h"

namespace vorn::platform::posix {

std::string hostPath(std::string_view systemPath) {
  std::string path = utf8FromAnsi(systemPath);
  std::ranges::replace(path, '\\', '/');
  return path;
}

}  // namespace vorn::platform::posix
