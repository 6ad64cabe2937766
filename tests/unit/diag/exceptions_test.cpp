#include "agent/diag/exceptions.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/error.h"

namespace vorn {
namespace {

TEST(FileExceptionCause, MapsSystemErrorsToTheFrameworksCauses) {
  const std::vector<std::pair<std::uint32_t, int>> cases = {
      {0, FileException::none},
      {platform::kErrorFileNotFound, FileException::fileNotFound},
      {platform::kErrorPathNotFound, FileException::badPath},
      {platform::kErrorTooManyOpenFiles, FileException::tooManyOpenFiles},
      {platform::kErrorAccessDenied, FileException::accessDenied},
      {platform::kErrorInvalidHandle, FileException::invalidFile},
      {platform::kErrorSharingViolation, FileException::sharingViolation},
      {33, FileException::lockViolation},
      {platform::kErrorHandleEof, FileException::endOfFile},
      {39, FileException::diskFull},
      {platform::kErrorDiskFull, FileException::diskFull},
      {platform::kErrorWriteFault, FileException::accessDenied},
      {platform::kErrorReadFault, FileException::badSeek},
      {platform::kErrorFileExists, FileException::accessDenied},
      {platform::kErrorAlreadyExists, FileException::accessDenied},
      {platform::kErrorInvalidName, FileException::badPath},
      {platform::kErrorDirNotEmpty, FileException::removeCurrentDir},
      {platform::kErrorFilenameExcedRange, FileException::badPath},
      {62, FileException::directoryFull},
      {21, FileException::hardIO},
      {999, FileException::accessDenied},
      // Anything the table does not know is a generic failure.
      {platform::kErrorNotEnoughMemory, FileException::genericException},
      {platform::kErrorInvalidParameter, FileException::genericException},
      {platform::kErrorBrokenPipe, FileException::genericException},
      {1000, FileException::genericException},
      {0x80070005u, FileException::genericException},
      {0xFFFFFFFFu, FileException::genericException},
  };
  for (const auto& [code, cause] : cases) {
    SCOPED_TRACE(code);
    EXPECT_EQ(FileException::causeFromOsError(code), cause);
  }
}

TEST(FileExceptionCause, AFileExceptionIsAFrameworkException) {
  try {
    throw FileException(FileException::causeFromOsError(112), 112);
  } catch (const FrameworkException& error) {
    const auto* file = dynamic_cast<const FileException*>(&error);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->cause(), FileException::diskFull);
    EXPECT_EQ(file->osError(), 112u);
  }
}

}  // namespace
}  // namespace vorn
