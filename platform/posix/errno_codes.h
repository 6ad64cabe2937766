// How the POSIX implementation turns errno values into the system's Win32 and
// Winsock error codes.
#pragma once

#include <cstdint>

namespace vorn::platform {

// Maps an errno value to the Win32 code that stands for it; codes without a
// counterpart map to ERROR_INVALID_FUNCTION (1), never to 0 for a non-zero errno.
std::uint32_t win32FromErrno(int errnoValue);

// Maps an errno value from a socket call to its Winsock code (10035, 10061 …);
// codes without a counterpart map to WSAEINVAL (10022), 0 stays 0.
std::uint32_t winsockFromErrno(int errnoValue);

// Sets the last error from errno and returns it: the usual tail of a failed POSIX call.
std::uint32_t setLastErrorFromErrno();

}  // namespace vorn::platform
