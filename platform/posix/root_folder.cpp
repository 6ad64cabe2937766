#include "platform/posix/root_folder.h"

#include <system_error>

#include "platform/error.h"
#include "platform/root.h"

namespace vorn::platform::posix {

std::uint32_t makeRootFolder(const std::filesystem::path& relative, std::filesystem::path& folder) {
  try {
    folder = rootFolder(relative);
    return kErrorSuccess;
  } catch (const std::filesystem::filesystem_error& error) {
    const std::error_code code = error.code();
    if (code.category() == std::generic_category() || code.category() == std::system_category()) {
      return win32FromErrno(code.value());
    }
    return kErrorPathNotFound;
  }
}

}  // namespace vorn::platform::posix
