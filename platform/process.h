// The running process: its program file, COM on its thread, its end.
// Stands for: GetModuleFileNameA, CoInitializeEx/CoUninitialize,
// AfxMessageBox (for a fatal error), ExitProcess.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/error.h"

namespace vorn::platform {

// Full path of the running program file; empty when it cannot be obtained.
// Windows-style: the POSIX build gives the path with its separators as they are.
std::string moduleFileName();

// CoInitializeEx(NULL, COINIT_APARTMENTTHREADED) / CoUninitialize.
HRESULT initializeComForThread();
void uninitializeComForThread();

// Shows an error message to an operator and waits until it is dismissed
// (a task-modal, topmost message box with the error icon). On POSIX, where the
// agent has no desktop, the message goes to standard error.
void showErrorMessage(std::string_view caption, std::string_view message);

// ExitProcess: ends the process at once with `code`, running no destructors.
// POSIX truncates the status to 8 bits (65535 ends as 255).
[[noreturn]] void exitProcess(std::uint32_t code);

}  // namespace vorn::platform
