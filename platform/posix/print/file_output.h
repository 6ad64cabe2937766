// PDF outputs that are files: print-to-file, and the documents of built-in
// PDF printers (written under a hidden name and renamed when complete).
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string_view>

#include "platform/posix/print/pdf_output.h"

namespace vorn::platform::posix {

// Writes to `path`, created or truncated. Null on failure, with the last error set.
std::unique_ptr<PdfOutput> openFileOutput(const std::filesystem::path& path, int jobId);

// Writes "<folder>/<job number> <document name>.pdf", first under a hidden
// partial name in the same folder, renamed when the document completes.
// Null on failure, with the last error set.
std::unique_ptr<PdfOutput> openFolderOutput(const std::filesystem::path& folder, std::uint32_t jobNumber,
                                            std::string_view documentName);

}  // namespace vorn::platform::posix
