#include "tests/support/test_support.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <system_error>

namespace vorn::test {

TempRoot::TempRoot() {
  if (const char* previous = std::getenv("VORNPRINT_ROOT")) previous_ = previous;
  std::string pattern = (std::filesystem::temp_directory_path() / "vornprint-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::system_error(errno, std::generic_category(), "mkdtemp");
  path_ = pattern;
  if (::setenv("VORNPRINT_ROOT", path_.c_str(), 1) != 0) {
    const int error = errno;
    std::filesystem::remove_all(path_);
    throw std::system_error(error, std::generic_category(), "setenv");
  }
}

TempRoot::~TempRoot() {
  if (previous_) {
    ::setenv("VORNPRINT_ROOT", previous_->c_str(), 1);
  } else {
    ::unsetenv("VORNPRINT_ROOT");
  }
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void writeRegistry(const std::filesystem::path& root, std::string_view text) {
  std::ofstream file(root / "registry.reg", std::ios::binary | std::ios::trunc);
  file.write(text.data(), static_cast<std::streamsize>(text.size()));
  file.close();
  if (!file) throw std::runtime_error("cannot write " + (root / "registry.reg").string());
}

std::filesystem::path programPath(std::string_view name) {
  const char* bin = std::getenv("VORN_BIN_DIR");
  if (bin == nullptr || *bin == '\0') throw std::runtime_error("VORN_BIN_DIR is not set (run the test through CTest)");
  return std::filesystem::path(bin) / name;
}

}  // namespace vorn::test
