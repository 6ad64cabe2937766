// PDF outputs that are files: print-to-file, and the documents of built-in
// PDF printers. Both are written under a hidden partial name in the folder of
// the final file and renamed when complete, so that nobody sees half a
// document and a failed one leaves nothing behind.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string_view>

#include "platform/posix/print/pdf_output.h"

namespace vorn::platform::posix {

// Writes the document that completes as `path`. A symbolic link (or anything
// but a regular file) at `path` is refused with kErrorAccessDenied. A regular
// file there when the document starts is replaced at its end; a name that
// was free then is never used to replace a file that appeared meanwhile
// (finish fails with kErrorFileExists). Null on failure, with the last error set.
std::unique_ptr<PdfOutput> openFileOutput(const std::filesystem::path& path, int jobId);

// Writes "<folder>/<job number> <document name>.pdf", a name the caller
// found free; it never replaces a file. Null on failure, with the last error set.
std::unique_ptr<PdfOutput> openFolderOutput(const std::filesystem::path& folder, std::uint32_t jobNumber,
                                            std::string_view documentName);

}  // namespace vorn::platform::posix
