#include "tests/integration/pdf/pdf_reading.h"

#include <fstream>
#include <iterator>
#include <sstream>

#include "tests/integration/print/poppler.h"

namespace vorn::test {

const char* nameOf(Reader reader) {
  switch (reader) {
    case Reader::poppler: return "poppler";
    case Reader::mupdf: return "MuPDF";
    case Reader::ghostscript: return "Ghostscript";
  }
  return "?";
}

std::vector<std::string> extractedLines(Reader reader, const std::filesystem::path& pdf) {
  const std::string file = shellQuoted(pdf);
  std::string command;
  switch (reader) {
    case Reader::poppler: command = "pdftotext -enc UTF-8 " + file + " -"; break;
    case Reader::mupdf: command = "mutool draw -q -F txt -o - " + file + " 2>/dev/null"; break;
    case Reader::ghostscript:
      command = "gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=txtwrite -sOutputFile=- " + file;
      break;
  }
  std::istringstream text(commandOutput(command));
  std::vector<std::string> lines;
  for (std::string line; std::getline(text, line);) {
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r' || line.back() == '\f')) line.pop_back();
    while (!line.empty() && (line.front() == ' ' || line.front() == '\f')) line.erase(0, 1);
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

std::string fileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::size_t occurrences(const std::filesystem::path& pdf, const std::string& what) {
  const std::string bytes = fileBytes(pdf);
  std::size_t count = 0;
  for (std::size_t at = bytes.find(what); at != std::string::npos; at = bytes.find(what, at + 1)) ++count;
  return count;
}

std::string archiveFaults(const std::filesystem::path& pdf) {
  const std::string script = std::string(VORN_SOURCE_DIR) + "/tests/integration/pdf/pdf_check.py";
  try {
    commandOutput("python3 " + shellQuoted(script) + " " + shellQuoted(pdf));
    return "";
  } catch (const std::exception&) {
    // The check exits 1 with its faults on standard output: run it again for them.
    return commandOutput("python3 " + shellQuoted(script) + " " + shellQuoted(pdf) + " || true");
  }
}

}  // namespace vorn::test
