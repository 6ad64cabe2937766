// The registry's file, "registry.reg" under the platform root: how it is read
// whole, and how a writer replaces it.
//
// Every writer (the registry's write side, and through it the profile tool;
// tests and tools that set a registry up) holds the lock "registry.lock"
// beside the file while it reads, changes and replaces it, so that no
// writer's change is lost to another's. The new file is written under a
// temporary name in the same folder, flushed to disk and renamed over the
// old one: a reader sees the old file or the new one, never a mix, and a
// crash or a full disk leaves the old file as it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string_view>

#include "platform/posix/unique_fd.h"

namespace vorn::platform::posix {

// A registry file larger than this is taken as damaged rather than read.
inline constexpr std::size_t kMaxRegistryFileSize = 64 * 1024 * 1024;

std::filesystem::path registryFilePath();

// A file's bytes, read whole. Shared: a registry tree keeps them for the
// values it reads later (platform/regfile/reg_parser.h).
class FileBytes {
 public:
  std::span<const std::uint8_t> bytes() const { return {data_.get(), size_}; }
  std::shared_ptr<const void> owner() const { return data_; }

 private:
  friend std::uint32_t readWholeFile(int fd, std::size_t expectedSize, std::size_t maxSize, FileBytes& bytes);
  std::shared_ptr<std::uint8_t[]> data_;
  std::size_t size_ = 0;
};

// Reads the open file to its end: `expectedSize` (its size when it was
// opened) is a hint, the file may have grown since. A large file is read into
// memory the kernel may back with huge pages: the first touch of each small
// page would cost more than reading the file. kErrorSuccess, the Win32
// code of a failed read, or kErrorBadDb past `maxSize` bytes.
std::uint32_t readWholeFile(int fd, std::size_t expectedSize, std::size_t maxSize, FileBytes& bytes);

// The writers' lock, held from the acquisition to the object's end.
class RegistryWriteLock {
 public:
  // Waits for the other writers (flock on "registry.lock", made 0644 when
  // missing, with the platform root). kErrorSuccess or a Win32 code.
  std::uint32_t acquire();

 private:
  UniqueFd fd_;
};

// With the lock held: the file's bytes; `exists` false (and no bytes) when
// there is no file yet. kErrorSuccess or a Win32 code.
std::uint32_t readRegistryFile(const RegistryWriteLock& held, FileBytes& bytes, bool& exists);

// With the lock held: replaces the file by `bytes` (see above). The new file
// keeps the old one's mode and, for root, its owner; a first file is 0644.
// kErrorSuccess or the Win32 code of the failure, with the old file intact.
std::uint32_t replaceRegistryFile(const RegistryWriteLock& held, std::span<const std::uint8_t> bytes);

}  // namespace vorn::platform::posix
