// Whether a folder is there for this process to read from or write into.
// Stands for: GetFileAttributesA, then FindFirstFileA of its contents
// (reading) or GetTempFileNameA and DeleteFileA of a probe file (writing).
//
// Paths are composed as on Windows: a backslash is a folder separator too.
#pragma once

#include <cstdint>
#include <string_view>

namespace vorn::platform {

enum class FolderUse { read, write };

// kErrorSuccess; kErrorFileNotFound or kErrorPathNotFound when nothing is
// there; kErrorDirectory when it is not a folder; kErrorAccessDenied (or the
// failure's own code, e.g. a read-only file system) when this process may
// not use it so.
std::uint32_t probeFolder(std::string_view path, FolderUse use);

}  // namespace vorn::platform
