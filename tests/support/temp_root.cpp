#include "tests/support/test_support.h"

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <system_error>

#include "tests/support/environment.h"

namespace vorn::test {

// Streamed through rdbuf, which stops at a read error instead of throwing:
// a file under /proc fails with ESRCH once its process has ended.
std::string fileText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// create_directory fails for a folder that exists, so two tests never share one.
std::filesystem::path makeTemporaryFolder(std::string_view prefix, const std::filesystem::path& under) {
  std::random_device seed;
  std::mt19937_64 numbers(seed());
  const std::filesystem::path base = under.empty() ? std::filesystem::temp_directory_path() : under;
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

namespace {

// Keeps a copy of every PDF left in `folder` (not the hidden partial files of
// writers) in the folder VORN_PDF_COLLECT names, so that one test can check
// every PDF the suite made.
void collectPdfs(const std::filesystem::path& folder) {
  const char* collection = std::getenv("VORN_PDF_COLLECT");
  if (collection == nullptr || *collection == '\0') return;
  std::error_code error;
  std::filesystem::create_directories(collection, error);
  for (auto it = std::filesystem::recursive_directory_iterator(folder, error);
       !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
    if (!it->is_regular_file(error) || it->path().filename().string().starts_with('.')) continue;
    std::ifstream in(it->path(), std::ios::binary);
    char magic[5] = {};
    if (!in.read(magic, sizeof magic) || std::string_view(magic, sizeof magic) != "%PDF-") continue;
    const std::filesystem::path copy =
        makeTemporaryFolder("pdf-", collection) / it->path().filename().replace_extension(".pdf");
    std::filesystem::copy_file(it->path(), copy, error);
  }
}

}  // namespace

TempRoot::~TempRoot() {
  collectPdfs(path_);
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
