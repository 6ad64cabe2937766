// Folders under the platform root for the parts of the platform whose calls
// return Win32 codes: the root's exceptions stop here.
#pragma once

#include <cstdint>
#include <filesystem>

namespace vorn::platform::posix {

// rootFolder(`relative`), made on demand; a folder that cannot be made is its
// errno's Win32 code (kErrorPathNotFound for anything else).
std::uint32_t makeRootFolder(const std::filesystem::path& relative, std::filesystem::path& folder);

}  // namespace vorn::platform::posix
