#include "tests/integration/pdf/private_fonts.h"

#include <fontconfig/fontconfig.h>
#include <stdlib.h>

#include <fstream>
#include <stdexcept>

#include "tests/support/test_support.h"

namespace vorn::test {

PrivateFonts::PrivateFonts(const std::vector<std::filesystem::path>& files) {
  if (const char* previous = std::getenv("FONTCONFIG_FILE")) previous_ = previous;
  root_ = makeTemporaryFolder("vornprint-fonts-");
  folder_ = root_ / "fonts";
  std::filesystem::create_directory(folder_);
  for (const auto& file : files) std::filesystem::copy_file(file, folder_ / file.filename());
  std::ofstream config(root_ / "fonts.conf");
  config << "<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"urn:fontconfig:fonts.dtd\">\n<fontconfig>\n"
         << "<dir>" << folder_.string() << "</dir>\n<cachedir>" << (root_ / "cache").string() << "</cachedir>\n"
         << "<include ignore_missing=\"yes\">/etc/fonts/conf.d/90-synthetic.conf</include>\n</fontconfig>\n";
  config.close();
  ::setenv("FONTCONFIG_FILE", (root_ / "fonts.conf").c_str(), 1);
  if (!FcInitReinitialize()) throw std::runtime_error("fontconfig did not take " + (root_ / "fonts.conf").string());
}

PrivateFonts::~PrivateFonts() {
  if (previous_) {
    ::setenv("FONTCONFIG_FILE", previous_->c_str(), 1);
  } else {
    ::unsetenv("FONTCONFIG_FILE");
  }
  FcInitReinitialize();
  std::error_code ignored;
  std::filesystem::remove_all(root_, ignored);
}

}  // namespace vorn::test
