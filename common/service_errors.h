// The print service's own error codes. Bit 29 is set, so that they never
// clash with system error codes; they are set as a thread's last error and
// travel in the control pipe's replies.
#pragma once

#include <cstdint>

namespace vorn {

inline constexpr std::uint32_t SVC_ERROR_BAD_REQUEST = 0x20000001;
inline constexpr std::uint32_t SVC_ERROR_DUPLICATE = 0x20000002;
inline constexpr std::uint32_t SVC_ERROR_TABLE_FULL = 0x20000004;
inline constexpr std::uint32_t SVC_ERROR_NAME_TOO_LONG = 0x20000007;

}  // namespace vorn
