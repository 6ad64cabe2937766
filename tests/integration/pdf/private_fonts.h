// A fontconfig configuration of the test's own: only the font files it is
// given, in a temporary folder, with the system's rules for synthetic bold
// and oblique. Made current for the process while the object lives.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vorn::test {

class PrivateFonts {
 public:
  // Copies `files` into the folder and makes the configuration current.
  explicit PrivateFonts(const std::vector<std::filesystem::path>& files);
  ~PrivateFonts();
  PrivateFonts(const PrivateFonts&) = delete;
  PrivateFonts& operator=(const PrivateFonts&) = delete;

  // The folder holding the copies.
  const std::filesystem::path& folder() const { return folder_; }

 private:
  std::filesystem::path root_;
  std::filesystem::path folder_;
  std::optional<std::string> previous_;
};

}  // namespace vorn::test
