// Job numbers of the built-in PDF printers: one counter file per printer,
// shared by every process that prints on it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>

namespace vorn::platform::posix {

// Takes the next number (1, 2, … wrapping before 2^31) from the counter in
// `counterFile`, created on first use; the file is locked while it is read
// and written. Numbers for which `taken` holds (their file already exists,
// e.g. after the counter was lost) are passed over; kErrorFileExists when
// kMaxNumbersPassedOver of them follow each other. kErrorSuccess or the Win32
// error of the failing call.
inline constexpr std::uint32_t kMaxNumbersPassedOver = 100000;
std::uint32_t takeJobNumber(const std::filesystem::path& counterFile, std::uint32_t& number,
                            const std::function<bool(std::uint32_t)>& taken);

}  // namespace vorn::platform::posix
