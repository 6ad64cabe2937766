// The running process: its command line, environment and program file, COM
// on its thread, its console output, its end.
// Stands for: GetCommandLineA, GetCommandLineW, GetEnvironmentStrings, GetModuleFileNameA,
// GetCurrentProcessId, CoInitializeEx/CoUninitialize, AfxMessageBox (for a
// fatal error), WriteFile to the standard output, ExitProcess.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/error.h"

namespace vorn::platform {

// The command line after the program's name, in the ANSI code page. Windows:
// the tail of GetCommandLineA, untouched (the C runtime would strip the
// quotes of `/profile="Laser 1"` from argv). POSIX: the arguments after the
// program's name joined by blanks, converted from UTF-8.
std::string commandLineTail(int argc, const char* const* argv);

// The arguments after the program's name, each in the ANSI code page
// (Windows: as the C runtime splits the command line; POSIX: converted from
// UTF-8).
std::vector<std::string> commandArguments(int argc, const char* const* argv);

// GetEnvironmentStrings: this process's environment as a block of
// "NAME=value\0" strings followed by one more "\0" (POSIX: the bytes as they
// are, unconverted).
std::vector<char> environmentStrings();

// The file name of one of this system's programs on this platform:
// "spoolagent" is "spoolagent.exe" on Windows and "spoolagent" on POSIX.
std::string programFileName(std::string_view program);

// Full path of the running program file; empty when it cannot be obtained.
// Windows-style: the POSIX build gives the path with its separators as they are.
std::string moduleFileName();

// GetCurrentProcessId.
std::uint32_t currentProcessId();

// CoInitializeEx(NULL, COINIT_APARTMENTTHREADED) / CoUninitialize.
HRESULT initializeComForThread();
void uninitializeComForThread();

// Shows an error message to an operator and waits until it is dismissed
// (a task-modal, topmost message box with the error icon). On POSIX, where the
// agent has no desktop, the message goes to standard error.
void showErrorMessage(std::string_view caption, std::string_view message);

// Writes 8-bit ANSI text to the standard output (POSIX: converted to UTF-8)
// and flushes it, so that lines of a console program come out in order.
void writeStandardOutput(std::string_view text);
// The same on the standard error.
void writeStandardError(std::string_view text);

// For each argument after the program's name (as commandArguments gives
// them), whether it came through the conversion to the ANSI code page whole:
// false where a character the code page lacks became '?'. Windows: each
// argument of CommandLineToArgvW(GetCommandLineW()) converted back with
// WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS) without the default
// character; POSIX: the UTF-8 arguments.
std::vector<bool> argumentsInAnsiCodePage(int argc, const char* const* argv);

// ExitProcess: ends the process at once with `code`, running no destructors.
// POSIX truncates the status to 8 bits (65535 ends as 255).
[[noreturn]] void exitProcess(std::uint32_t code);

}  // namespace vorn::platform
