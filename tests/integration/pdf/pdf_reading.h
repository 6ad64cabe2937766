// Reading the printer's PDFs back: the text as three readers extract it,
// the objects as they stand in the file, the archive checks.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace vorn::test {

enum class Reader { poppler, mupdf, ghostscript };
const char* nameOf(Reader reader);
// The text of every page, lines without their trailing blanks, empty lines dropped.
std::vector<std::string> extractedLines(Reader reader, const std::filesystem::path& pdf);

// The whole file.
std::string fileBytes(const std::filesystem::path& path);
// How often `what` occurs in the file's bytes (dictionaries are not compressed).
std::size_t occurrences(const std::filesystem::path& pdf, const std::string& what);

// tests/integration/pdf/pdf_check.py on the file: its output, empty when the file passes.
std::string archiveFaults(const std::filesystem::path& pdf);

}  // namespace vorn::test
