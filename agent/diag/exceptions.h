// The failures that the agent's entry points tell apart when they turn an
// escaping exception into a fatal error.
#pragma once

#include <cstdint>
#include <exception>

#include "platform/error.h"

namespace vorn {

// A COM failure carrying its result code (the platform's _com_error).
class ComError : public std::exception {
 public:
  explicit ComError(platform::HRESULT code) : code_(code) {}
  platform::HRESULT code() const noexcept { return code_; }
  const char* what() const noexcept override { return "COM error"; }

 private:
  platform::HRESULT code_;
};

// An exception of the application framework (its CException family).
class FrameworkException : public std::exception {
 public:
  const char* what() const noexcept override { return "framework exception"; }
};

// A failed file operation of the framework's file class (CFileException):
// `cause` is the framework's cause code, `osError` the system error behind it.
class FileException : public FrameworkException {
 public:
  // CFileException cause codes.
  enum Cause : int {
    none = 0,
    genericException = 1,
    fileNotFound = 2,
    badPath = 3,
    tooManyOpenFiles = 4,
    accessDenied = 5,
    invalidFile = 6,
    removeCurrentDir = 7,
    directoryFull = 8,
    badSeek = 9,
    hardIO = 10,
    sharingViolation = 11,
    lockViolation = 12,
    diskFull = 13,
    endOfFile = 14,
  };

  FileException(int cause, std::uint32_t osError) : cause_(cause), osError_(osError) {}
  int cause() const noexcept { return cause_; }
  std::uint32_t osError() const noexcept { return osError_; }
  const char* what() const noexcept override { return "file exception"; }

  // The framework's mapping of a system error code to a cause
  // (CFileException::OsErrorToException).
  static int causeFromOsError(std::uint32_t osError);

 private:
  int cause_;
  std::uint32_t osError_;
};

}  // namespace vorn
