// Files, addressed by paths that the system composes as on Windows: a
// backslash is a folder separator too.
// Stands for: CreateFileA (with FILE_FLAG_OPEN_REPARSE_POINT where it creates), ReadFile, WriteFile, GetFileSize, CloseHandle.
//
// Results are Win32 error codes; the failing call also sets the last error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

namespace vorn::platform {

// An open file; destroying it closes it (CloseHandle), ignoring errors.
class File {
 public:
  virtual ~File() = default;

  // ReadFile: reads up to buffer.size() bytes; `got` is the count read (0 at end of file).
  virtual std::uint32_t read(std::span<std::byte> buffer, std::size_t& got) = 0;
  // WriteFile: writes all of `data` or fails.
  virtual std::uint32_t write(std::span<const std::byte> data) = 0;
  // GetFileSize.
  virtual std::uint32_t size(std::uint64_t& bytes) = 0;
  // CloseHandle, with its result; the file is closed afterwards whatever the result.
  virtual std::uint32_t close() = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // CreateFileA(GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING): an existing file for reading.
  // Readers share the file with each other; while it is held by createExclusive
  // the open fails with kErrorSharingViolation. A folder gives kErrorAccessDenied.
  virtual std::uint32_t openForReading(std::string_view path, std::unique_ptr<File>& file) = 0;

  // CreateFileA(0, 0, OPEN_EXISTING): opens an existing file without access,
  // only to learn that it exists. A symbolic link exists as a name of its own,
  // whether its target does or not.
  virtual std::uint32_t openToProbe(std::string_view path, std::unique_ptr<File>& file) = 0;

  // Created, or truncated when it exists, for reading and writing, and not
  // shared with other openers while it is open (CREATE_ALWAYS, no sharing):
  // kErrorSharingViolation, with the file left untouched, while another
  // opener holds it.
  //
  // Both creating opens never follow a symbolic link (a reparse point) in the
  // last component of the path: one planted there is refused with
  // kErrorAccessDenied and its target stays untouched. A new file gets the
  // default access of its folder (on POSIX mode 0666 less the umask).
  virtual std::uint32_t createExclusive(std::string_view path, std::unique_ptr<File>& file) = 0;

  // Like createExclusive, but only as a new file (CREATE_NEW): a name that
  // exists, as a file or as a link, gives kErrorFileExists.
  virtual std::uint32_t createNew(std::string_view path, std::unique_ptr<File>& file) = 0;
};

// The machine's real file system.
FileSystem& systemFileSystem();

}  // namespace vorn::platform
