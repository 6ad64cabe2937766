#include "tests/support/test_support.h"

#include <cstdlib>
#include <random>
#include <stdexcept>
#include <system_error>

#include "tests/support/environment.h"

namespace vorn::test {

// create_directory fails for a folder that exists, so two tests never share one.
std::filesystem::path makeTemporaryFolder(std::string_view prefix) {
  std::random_device seed;
  std::mt19937_64 numbers(seed());
  const std::filesystem::path base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::filesystem::path candidate = base / (std::string(prefix) + std::to_string(numbers() % 1000000000));
    if (std::filesystem::create_directory(candidate)) return candidate;
  }
  throw std::runtime_error("cannot make a temporary folder in " + base.string());
}

TempRoot::TempRoot() {
  if (const char* previous = std::getenv("VORNPRINT_ROOT")) previous_ = previous;
  path_ = makeTemporaryFolder("vornprint-test-");
  try {
    setEnvironmentVariable("VORNPRINT_ROOT", path_.string());
  } catch (...) {
    std::filesystem::remove_all(path_);
    throw;
  }
}

TempRoot::~TempRoot() {
  if (previous_) {
    setEnvironmentVariable("VORNPRINT_ROOT", *previous_);
  } else {
    unsetEnvironmentVariable("VORNPRINT_ROOT");
  }
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path programPath(std::string_view name) {
  const char* bin = std::getenv("VORN_BIN_DIR");
  if (bin == nullptr || *bin == '\0') throw std::runtime_error("VORN_BIN_DIR is not set (run the test through CTest)");
  return std::filesystem::path(bin) / name;
}

}  // namespace vorn::test
