// Files on Windows: CreateFileA with the sharing modes the system relies on,
// ReadFile, WriteFile, GetFileSizeEx and CloseHandle.
#include "platform/file.h"

#include <windows.h>

#include <algorithm>
#include <string>

#include "platform/error.h"
#include "platform/win32/unique_handle.h"

namespace vorn::platform {
namespace {

// Most bytes one ReadFile or WriteFile call is handed.
constexpr std::size_t kMaxTransfer = 1u << 30;

// The last error of the call that just failed, set again and returned.
std::uint32_t failure() {
  const DWORD code = ::GetLastError();
  ::SetLastError(code);
  return code;
}

class Win32File final : public File {
 public:
  explicit Win32File(win32::UniqueHandle handle) : handle_(std::move(handle)) {}

  std::uint32_t read(std::span<std::byte> buffer, std::size_t& got) override {
    got = 0;
    DWORD read = 0;
    const DWORD wanted = static_cast<DWORD>(std::min(buffer.size(), kMaxTransfer));
    if (!::ReadFile(handle_.get(), buffer.data(), wanted, &read, nullptr)) return failure();
    got = read;
    return kErrorSuccess;
  }

  std::uint32_t write(std::span<const std::byte> data) override {
    while (!data.empty()) {
      DWORD written = 0;
      const DWORD chunk = static_cast<DWORD>(std::min(data.size(), kMaxTransfer));
      if (!::WriteFile(handle_.get(), data.data(), chunk, &written, nullptr)) return failure();
      if (written == 0) {
        ::SetLastError(ERROR_WRITE_FAULT);
        return ERROR_WRITE_FAULT;
      }
      data = data.subspan(written);
    }
    return kErrorSuccess;
  }

  std::uint32_t size(std::uint64_t& bytes) override {
    LARGE_INTEGER fileSize{};
    if (!::GetFileSizeEx(handle_.get(), &fileSize)) return failure();
    bytes = static_cast<std::uint64_t>(fileSize.QuadPart);
    return kErrorSuccess;
  }

  std::uint32_t close() override {
    if (!handle_) return kErrorSuccess;
    const BOOL closed = ::CloseHandle(handle_.release());
    return closed ? kErrorSuccess : failure();
  }

 private:
  win32::UniqueHandle handle_;
};

std::uint32_t createFile(std::string_view path, DWORD access, DWORD sharing, DWORD disposition,
                         std::unique_ptr<File>& file, DWORD flags = 0) {
  file.reset();
  const std::string name(path);
  win32::UniqueHandle handle(::CreateFileA(name.c_str(), access, sharing, nullptr, disposition,
                                           FILE_ATTRIBUTE_NORMAL | flags, nullptr));
  if (!handle) {
    const win32::LastErrorKeeper error;
    return error.code();
  }
  file = std::make_unique<Win32File>(std::move(handle));
  return kErrorSuccess;
}

class Win32FileSystem final : public FileSystem {
 public:
  std::uint32_t openForReading(std::string_view path, std::unique_ptr<File>& file) override {
    return createFile(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, file);
  }

  std::uint32_t openToProbe(std::string_view path, std::unique_ptr<File>& file) override {
    return createFile(path, 0, 0, OPEN_EXISTING, file);
  }

  // A reparse point (a link) in the last component is refused rather than
  // followed or replaced; FILE_FLAG_OPEN_REPARSE_POINT keeps the open itself
  // from following one planted between the check and the open.
  std::uint32_t createExclusive(std::string_view path, std::unique_ptr<File>& file) override {
    file.reset();
    if (isReparsePoint(path)) {
      ::SetLastError(ERROR_ACCESS_DENIED);
      return ERROR_ACCESS_DENIED;
    }
    return createFile(path, GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS, file,
                      FILE_FLAG_OPEN_REPARSE_POINT);
  }

  // CREATE_NEW fails with ERROR_FILE_EXISTS on any existing name, a link included.
  std::uint32_t createNew(std::string_view path, std::unique_ptr<File>& file) override {
    return createFile(path, GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW, file,
                      FILE_FLAG_OPEN_REPARSE_POINT);
  }

 private:
  static bool isReparsePoint(std::string_view path) {
    const std::string name(path);
    const DWORD attributes = ::GetFileAttributesA(name.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  }
};

}  // namespace

FileSystem& systemFileSystem() {
  static Win32FileSystem files;  // stateless
  return files;
}

}  // namespace vorn::platform
