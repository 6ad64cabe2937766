// Where the POSIX platform keeps its machine-wide state (registry, event log,
// pipes, printers): $VORNPRINT_ROOT, by default /var/lib/vornprint.
// Only platform/posix/ knows this folder; the system never sees it.
#pragma once

#include <cstdint>
#include <filesystem>

namespace vorn::platform {

// The platform root, read from the environment at each call.
std::filesystem::path platformRoot();

// A folder under the root, created on demand (mode 0755) with its parents.
// 0 with `folder` set, or the Win32 code of the failure (kErrorPathNotFound
// when a component is in the way as a file).
std::uint32_t rootFolder(const std::filesystem::path& relative, std::filesystem::path& folder);

}  // namespace vorn::platform
