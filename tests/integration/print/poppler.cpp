#include "tests/integration/print/poppler.h"

#include <cstdio>
#include <memory>
#include <regex>
#include <sstream>
#include <stdexcept>

namespace vorn::test {

std::string commandOutput(const std::string& command) {
  struct PipeClose {
    void operator()(FILE* f) const { pclose(f); }
  };
  FILE* raw = popen(command.c_str(), "r");
  if (raw == nullptr) throw std::runtime_error("cannot run: " + command);
  std::unique_ptr<FILE, PipeClose> pipe(raw);
  std::string out;
  char buffer[4096];
  std::size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe.get())) > 0) out.append(buffer, n);
  const int status = pclose(pipe.release());
  if (status != 0) throw std::runtime_error("failed (" + std::to_string(status) + "): " + command);
  return out;
}

std::string shellQuoted(const std::filesystem::path& path) {
  std::string quoted = "'";
  for (char c : path.string()) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::vector<PageSize> pdfPageSizes(const std::filesystem::path& pdf) {
  const std::string info = commandOutput("pdfinfo -f 1 -l 9999 " + shellQuoted(pdf));
  std::vector<PageSize> sizes;
  const std::regex line(R"(Page +\d+ size: +([0-9.]+) x ([0-9.]+) pts)");
  for (std::sregex_iterator it(info.begin(), info.end(), line), end; it != end; ++it) {
    sizes.push_back({std::stod((*it)[1]), std::stod((*it)[2])});
  }
  return sizes;
}

std::vector<std::string> pdfTextLines(const std::filesystem::path& pdf) {
  std::istringstream text(commandOutput("pdftotext -layout " + shellQuoted(pdf) + " -"));
  std::vector<std::string> lines;
  for (std::string l; std::getline(text, l);) lines.push_back(l);
  return lines;
}

std::uint32_t Raster::at(int x, int y) const {
  const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 3;
  return (std::uint32_t{rgb[i]} << 16) | (std::uint32_t{rgb[i + 1]} << 8) | rgb[i + 2];
}

Raster pdfRaster(const std::filesystem::path& pdf, int page, int dpi, int x, int y, int width, int height) {
  const std::string ppm = commandOutput("pdftoppm -f " + std::to_string(page) + " -l " + std::to_string(page) +
                                        " -r " + std::to_string(dpi) + " -x " + std::to_string(x) + " -y " +
                                        std::to_string(y) + " -W " + std::to_string(width) + " -H " +
                                        std::to_string(height) + " -aa no -aaVector no " + shellQuoted(pdf));
  std::istringstream in(ppm);
  std::string magic;
  int maxValue = 0;
  Raster r;
  in >> magic >> r.width >> r.height >> maxValue;
  in.get();
  if (magic != "P6" || maxValue != 255) throw std::runtime_error("pdftoppm gave no 8-bit PPM");
  r.rgb.resize(static_cast<std::size_t>(r.width) * r.height * 3);
  in.read(reinterpret_cast<char*>(r.rgb.data()), static_cast<std::streamsize>(r.rgb.size()));
  if (!in) throw std::runtime_error("short PPM from pdftoppm");
  return r;
}

}  // namespace vorn::test
