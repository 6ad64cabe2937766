// What the print message intake needs of the job it feeds: the names a
// header record sets and the three job operations. Tests put a recording
// job here, one whose start fails, to pin the intake's routing.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace vorn {

class JobOperations {
 public:
  virtual ~JobOperations() = default;

  // The sanitised report name of the next job (its document name follows from it).
  virtual void setReportName(std::string reportName) = 0;
  // The output file of the next job, for the targets that print to a file.
  virtual void setOutputFileName(std::string fileName) = 0;

  // Opens the job; it stays closed when its target cannot be opened.
  virtual void jobstart(std::uint32_t options) = 0;
  // Passes a block of print data to the open job. `last` marks the block that
  // precedes the end-of-report terminator. False when no job is open: the
  // block is then dropped.
  virtual bool jobdata(std::span<const std::uint8_t> block, bool last) = 0;
  // Ends the open job; does nothing without one.
  virtual void jobend() = 0;
};

}  // namespace vorn
