// A test's registry file, written as every writer of the registry writes it:
// under the writers' lock, replacing the file whole.
#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <string>

#include "platform/posix/registry_file.h"
#include "tests/support/environment.h"
#include "tests/support/test_support.h"

namespace vorn::test {

void writeRegistry(const std::filesystem::path& root, std::string_view text) {
  // The platform finds the file through the root variable: point it at `root`.
  std::optional<std::string> previous;
  if (const char* value = std::getenv("VORNPRINT_ROOT")) previous = value;
  setEnvironmentVariable("VORNPRINT_ROOT", root.string());
  platform::posix::RegistryWriteLock lock;
  std::uint32_t error = lock.acquire();
  if (error == 0) {
    error = platform::posix::replaceRegistryFile(
        lock, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
  }
  if (previous) {
    setEnvironmentVariable("VORNPRINT_ROOT", *previous);
  } else {
    unsetEnvironmentVariable("VORNPRINT_ROOT");
  }
  if (error != 0) throw std::runtime_error("cannot write " + (root / "registry.reg").string() + ": " + std::to_string(error));
}

}  // namespace vorn::test
