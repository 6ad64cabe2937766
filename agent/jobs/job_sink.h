// What the print message intake needs of the job it feeds: the job-open
// flag, the names a header record sets, and the three job operations.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace vorn {

class JobSink {
 public:
  virtual ~JobSink() = default;

  virtual bool jobOpen() const = 0;
  // The sanitised report name of the next job (its document name follows from it).
  virtual void setReportName(std::string reportName) = 0;
  // The output file of the next job, for the targets that print to a file.
  virtual void setOutputFileName(std::string fileName) = 0;

  // Opens the job; afterwards jobOpen() tells whether it succeeded.
  virtual void jobstart(std::uint32_t options) = 0;
  // Passes a block of print data to the open job; does nothing without one.
  // `last` marks the block that precedes the end-of-report terminator.
  virtual void jobdata(std::span<const std::uint8_t> block, bool last) = 0;
  // Ends the open job; does nothing without one.
  virtual void jobend() = 0;
};

}  // namespace vorn
