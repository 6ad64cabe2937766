#include "agent/diag/exceptions.h"

#include <algorithm>
#include <array>
#include <utility>

namespace vorn {
namespace {

// The framework's table of system error codes and the file exception causes
// they stand for; any code not listed is a generic failure.
constexpr std::array<std::pair<std::uint32_t, int>, 79> kCauseByOsError = {{
    {0, FileException::none},
    {1, FileException::genericException},  // ERROR_INVALID_FUNCTION
    {2, FileException::fileNotFound},
    {3, FileException::badPath},
    {4, FileException::tooManyOpenFiles},
    {5, FileException::accessDenied},
    {6, FileException::invalidFile},
    {11, FileException::invalidFile},  // ERROR_BAD_FORMAT
    {12, FileException::accessDenied},  // ERROR_INVALID_ACCESS
    {15, FileException::badPath},  // ERROR_INVALID_DRIVE
    {16, FileException::removeCurrentDir},  // ERROR_CURRENT_DIRECTORY
    {17, FileException::badPath},  // ERROR_NOT_SAME_DEVICE
    {18, FileException::fileNotFound},  // ERROR_NO_MORE_FILES
    {19, FileException::accessDenied},  // ERROR_WRITE_PROTECT
    {20, FileException::hardIO},  // ERROR_BAD_UNIT
    {21, FileException::hardIO},  // ERROR_NOT_READY
    {22, FileException::hardIO},  // ERROR_BAD_COMMAND
    {23, FileException::hardIO},  // ERROR_CRC
    {24, FileException::badSeek},  // ERROR_BAD_LENGTH
    {25, FileException::badSeek},  // ERROR_SEEK
    {26, FileException::invalidFile},  // ERROR_NOT_DOS_DISK
    {27, FileException::badSeek},  // ERROR_SECTOR_NOT_FOUND
    {29, FileException::accessDenied},  // ERROR_WRITE_FAULT
    {30, FileException::badSeek},  // ERROR_READ_FAULT
    {32, FileException::sharingViolation},
    {33, FileException::lockViolation},
    {34, FileException::badPath},  // ERROR_WRONG_DISK
    {36, FileException::tooManyOpenFiles},  // ERROR_SHARING_BUFFER_EXCEEDED
    {38, FileException::endOfFile},  // ERROR_HANDLE_EOF
    {39, FileException::diskFull},  // ERROR_HANDLE_DISK_FULL
    {52, FileException::badPath},  // ERROR_DUP_NAME
    {53, FileException::badPath},  // ERROR_BAD_NETPATH
    {54, FileException::accessDenied},  // ERROR_NETWORK_BUSY
    {55, FileException::badPath},  // ERROR_DEV_NOT_EXIST
    {57, FileException::hardIO},  // ERROR_ADAP_HDW_ERR
    {58, FileException::accessDenied},  // ERROR_BAD_NET_RESP
    {59, FileException::hardIO},  // ERROR_UNEXP_NET_ERR
    {60, FileException::invalidFile},  // ERROR_BAD_REM_ADAP
    {62, FileException::directoryFull},  // ERROR_NO_SPOOL_SPACE
    {64, FileException::accessDenied},  // ERROR_NETNAME_DELETED
    {65, FileException::accessDenied},  // ERROR_NETWORK_ACCESS_DENIED
    {67, FileException::badPath},  // ERROR_BAD_NET_NAME
    {68, FileException::tooManyOpenFiles},  // ERROR_TOO_MANY_NAMES
    {69, FileException::tooManyOpenFiles},  // ERROR_TOO_MANY_SESS
    {70, FileException::badPath},  // ERROR_SHARING_PAUSED
    {71, FileException::accessDenied},  // ERROR_REQ_NOT_ACCEP
    {80, FileException::accessDenied},  // ERROR_FILE_EXISTS
    {82, FileException::accessDenied},  // ERROR_CANNOT_MAKE
    {85, FileException::badPath},  // ERROR_ALREADY_ASSIGNED
    {86, FileException::accessDenied},  // ERROR_INVALID_PASSWORD
    {88, FileException::hardIO},  // ERROR_NET_WRITE_FAULT
    {107, FileException::fileNotFound},  // ERROR_DISK_CHANGE
    {108, FileException::lockViolation},  // ERROR_DRIVE_LOCKED
    {111, FileException::badPath},  // ERROR_BUFFER_OVERFLOW
    {112, FileException::diskFull},
    {113, FileException::tooManyOpenFiles},  // ERROR_NO_MORE_SEARCH_HANDLES
    {114, FileException::invalidFile},  // ERROR_INVALID_TARGET_HANDLE
    {117, FileException::hardIO},  // ERROR_INVALID_CATEGORY
    {123, FileException::badPath},  // ERROR_INVALID_NAME
    {124, FileException::badPath},  // ERROR_INVALID_LEVEL
    {125, FileException::badPath},  // ERROR_NO_VOLUME_LABEL
    {131, FileException::badSeek},  // ERROR_NEGATIVE_SEEK
    {132, FileException::badSeek},  // ERROR_SEEK_ON_DEVICE
    {144, FileException::badPath},  // ERROR_DIR_NOT_ROOT
    {145, FileException::removeCurrentDir},  // ERROR_DIR_NOT_EMPTY
    {154, FileException::badPath},  // ERROR_LABEL_TOO_LONG
    {161, FileException::badPath},  // ERROR_BAD_PATHNAME
    {167, FileException::lockViolation},  // ERROR_LOCK_FAILED
    {170, FileException::accessDenied},  // ERROR_BUSY
    {182, FileException::invalidFile},  // ERROR_INVALID_ORDINAL
    {183, FileException::accessDenied},  // ERROR_ALREADY_EXISTS
    {191, FileException::invalidFile},  // ERROR_INVALID_EXE_SIGNATURE
    {193, FileException::invalidFile},  // ERROR_BAD_EXE_FORMAT
    {206, FileException::badPath},  // ERROR_FILENAME_EXCED_RANGE
    {208, FileException::badPath},  // ERROR_META_EXPANSION_TOO_LONG
    {267, FileException::badPath},  // ERROR_DIRECTORY
    {995, FileException::hardIO},  // ERROR_OPERATION_ABORTED
    {996, FileException::hardIO},  // ERROR_IO_INCOMPLETE
    {999, FileException::accessDenied},  // ERROR_SWAPERROR
}};

constexpr bool sortedByCode() {
  for (std::size_t i = 1; i < kCauseByOsError.size(); ++i) {
    if (kCauseByOsError[i - 1].first >= kCauseByOsError[i].first) return false;
  }
  return true;
}
static_assert(sortedByCode(), "the cause table must be sorted by code");

}  // namespace

int FileException::causeFromOsError(std::uint32_t osError) {
  const auto it = std::lower_bound(
      kCauseByOsError.begin(), kCauseByOsError.end(), osError,
      [](const std::pair<std::uint32_t, int>& entry, std::uint32_t code) { return entry.first < code; });
  if (it == kCauseByOsError.end() || it->first != osError) return genericException;
  return it->second;
}

}  // namespace vorn
