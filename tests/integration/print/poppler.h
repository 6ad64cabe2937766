// Reading PDF output back with poppler's command-line tools.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace vorn::test {

// Runs a shell command and returns its standard output; throws
// std::runtime_error when it cannot be run or exits with a status other than 0.
std::string commandOutput(const std::string& command);

// A file name quoted for the shell.
std::string shellQuoted(const std::filesystem::path& path);

struct PageSize {
  double width = 0;  // points
  double height = 0;
};
// Sizes of every page, from pdfinfo -f 1 -l N.
std::vector<PageSize> pdfPageSizes(const std::filesystem::path& pdf);

// pdftotext -layout, split into lines.
std::vector<std::string> pdfTextLines(const std::filesystem::path& pdf);

// An RGB raster of part of the first page (pdftoppm -r dpi -x -y -W -H).
struct Raster {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;
  std::uint32_t at(int x, int y) const;  // 0xRRGGBB
};
Raster pdfRaster(const std::filesystem::path& pdf, int page, int dpi, int x, int y, int width, int height);

}  // namespace vorn::test
