#include "platform/process.h"

#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>

namespace vorn::platform {

std::string moduleFileName() {
  std::array<char, 4096> path{};
  const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size() - 1);
  if (n <= 0) {
    setLastErrorFromErrno();
    return {};
  }
  return std::string(path.data(), static_cast<std::size_t>(n));
}

// COM has no counterpart on POSIX: the host link component is an ordinary
// object of this process, so there is nothing to initialise.
HRESULT initializeComForThread() { return kSOk; }
void uninitializeComForThread() {}

void showErrorMessage(std::string_view caption, std::string_view message) {
  std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(caption.size()), caption.data(),
               static_cast<int>(message.size()), message.data());
  std::fflush(stderr);
}

void exitProcess(std::uint32_t code) {
  std::fflush(nullptr);
  ::_exit(static_cast<int>(code & 0xFFu));
}

}  // namespace vorn::platform
