// Where a device's PDF goes while it is being written: a file, a built-in
// printer's folder, or a CUPS queue. The PDF streams through; no output keeps
// a whole document in memory.
#pragma once

#include <cstdint>
#include <span>

namespace vorn::platform::posix {

class PdfOutput {
 public:
  // An output destroyed before finish() succeeded is abandoned: nothing of
  // the document stays behind (no half file, the spooler job is cancelled).
  virtual ~PdfOutput() = default;

  // The job identifier StartDocA reports (above 0).
  virtual int jobId() const = 0;
  // Appends PDF bytes. False on failure, with the last error set.
  virtual bool write(std::span<const unsigned char> data) = 0;
  // Completes the document. False on failure, with the last error set.
  virtual bool finish() = 0;
};

}  // namespace vorn::platform::posix
