// File names of documents that the built-in PDF printers write.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vorn::platform::posix {

// A document name (8-bit Windows-1252) as one UTF-8 file name component that
// every common file system accepts: control characters and / \ : * ? " < > |
// become '_', a leading dot becomes '_' (no hidden files), trailing blanks and
// dots go, and the result is at most 200 bytes. An empty result is "document".
std::string fileNameComponent(std::string_view documentName);

// "<job number> <document name>.pdf".
std::string documentFileName(std::uint32_t jobNumber, std::string_view documentName);

}  // namespace vorn::platform::posix
