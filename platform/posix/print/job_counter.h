// Job numbers of the built-in PDF printers: one counter file per printer,
// shared by every process that prints on it.
#pragma once

#include <cstdint>
#include <filesystem>

namespace vorn::platform::posix {

// Takes the next number (1, 2, … wrapping before 2^31) from the counter in
// `counterFile`, created on first use; the file is locked while it is read
// and written. kErrorSuccess or the Win32 error of the failing call.
std::uint32_t takeJobNumber(const std::filesystem::path& counterFile, std::uint32_t& number);

}  // namespace vorn::platform::posix
