// Where the POSIX platform keeps its machine-wide state (registry, event log,
// pipes, printers): $VORNPRINT_ROOT, by default /var/lib/vornprint.
// Only platform/posix/ knows this folder; the system never sees it.
//
// Modes never come from the umask: folders are made 0755 and state files
// 0644. The root and every folder under it must be a folder of its own (not
// a symbolic link), owned by root or by this process's user, and not
// writable by others; anything else is refused, so that nobody but its
// owners can make a process of root's write elsewhere.
#pragma once

#include <cstdint>
#include <filesystem>

#include "platform/posix/unique_fd.h"

namespace vorn::platform {

// The platform root, read from the environment at each call.
std::filesystem::path platformRoot();

// A folder under the root, created on demand (mode 0755) with its parents.
// 0 with `folder` set, or the Win32 code of the failure: kErrorPathNotFound
// when a component is in the way as a file, kErrorAccessDenied for a folder
// of the root that is a symbolic link, is writable by others or belongs to
// another user.
std::uint32_t rootFolder(const std::filesystem::path& relative, std::filesystem::path& folder);

namespace posix {

inline constexpr mode_t kStateFileMode = 0644;

// Opens the state file `name` in the folder `folder` (a descriptor, or
// AT_FDCWD with a path) with `flags` (the access mode and O_APPEND, say),
// making it with mode 0644 when it is missing. Never through a symbolic
// link (EACCES). 0 or the errno of the failure.
int openStateFile(int folder, const char* name, int flags, UniqueFd& file);

}  // namespace posix
}  // namespace vorn::platform
