// Where the POSIX platform keeps its machine-wide state (registry, event log,
// pipes, printers): $VORNPRINT_ROOT, by default /var/lib/vornprint.
// Only platform/ knows this folder; the system never sees it.
#pragma once

#include <filesystem>

namespace vorn::platform {

// The platform root, read from the environment at each call.
std::filesystem::path platformRoot();

// A folder under the root, created on demand (mode 0755) with its parents.
// Throws std::filesystem::filesystem_error when it cannot be created.
std::filesystem::path rootFolder(const std::filesystem::path& relative);

}  // namespace vorn::platform
