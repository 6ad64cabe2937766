// The running process on Windows: its command line, environment, program
// file, COM, message box, standard output and end.
#include "platform/process.h"

#include <objbase.h>
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>

#include "platform/win32/command_line.h"

namespace vorn::platform {

std::string commandLineTail(int, const char* const*) {
  const char* line = ::GetCommandLineA();
  return line == nullptr ? std::string() : std::string(win32::commandLineAfterProgram(line));
}

std::vector<std::string> commandArguments(int argc, const char* const* argv) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
  return arguments;
}

std::vector<char> environmentStrings() {
  std::vector<char> block;
  char* strings = ::GetEnvironmentStringsA();
  if (strings != nullptr) {
    for (const char* entry = strings; *entry != '\0';) {
      const std::string_view text(entry);
      block.insert(block.end(), text.begin(), text.end());
      block.push_back('\0');
      entry += text.size() + 1;
    }
    ::FreeEnvironmentStringsA(strings);
  }
  block.push_back('\0');
  return block;
}

std::string programFileName(std::string_view program) { return std::string(program) + ".exe"; }

std::string moduleFileName() {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD length = ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    // A result that fills the buffer was cut: try again with more room.
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    if (path.size() >= 32768) return {};
    path.resize(path.size() * 2);
  }
}

std::uint32_t currentProcessId() { return ::GetCurrentProcessId(); }

HRESULT initializeComForThread() { return ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }

void uninitializeComForThread() { ::CoUninitialize(); }

void showErrorMessage(std::string_view caption, std::string_view message) {
  const std::string captionText(caption);
  const std::string messageText(message);
  ::MessageBoxA(nullptr, messageText.c_str(), captionText.c_str(), MB_OK | MB_TASKMODAL | MB_TOPMOST | MB_ICONERROR);
}

// WriteFile keeps nothing back, so the text is out when it returns (no
// FlushFileBuffers: on a pipe it would wait for the reader).
namespace {

void writeStandardHandle(DWORD which, std::string_view text) {
  std::fflush(which == STD_OUTPUT_HANDLE ? stdout : stderr);  // anything the C runtime holds goes first
  const HANDLE output = ::GetStdHandle(which);
  if (output == nullptr || output == INVALID_HANDLE_VALUE) return;
  while (!text.empty()) {
    DWORD written = 0;
    const DWORD chunk = text.size() > 0xFFFF ? 0xFFFF : static_cast<DWORD>(text.size());
    if (!::WriteFile(output, text.data(), chunk, &written, nullptr) || written == 0) return;
    text.remove_prefix(written);
  }
}

}  // namespace

void writeStandardOutput(std::string_view text) { writeStandardHandle(STD_OUTPUT_HANDLE, text); }

void writeStandardError(std::string_view text) { writeStandardHandle(STD_ERROR_HANDLE, text); }

std::vector<bool> argumentsInAnsiCodePage(int argc, const char* const* /*argv*/) {
  std::vector<bool> whole(argc > 1 ? static_cast<std::size_t>(argc - 1) : 0, true);
  int count = 0;
  LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr) return whole;  // nothing to compare with: taken as they came
  for (int i = 1; i < count && static_cast<std::size_t>(i - 1) < whole.size(); ++i) {
    BOOL usedDefault = FALSE;
    const int size = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide[i], -1, nullptr, 0, nullptr,
                                           &usedDefault);
    whole[static_cast<std::size_t>(i - 1)] = size > 0 && !usedDefault;
  }
  ::LocalFree(wide);
  return whole;
}

void exitProcess(std::uint32_t code) {
  std::fflush(nullptr);
  ::ExitProcess(code);
}

}  // namespace vorn::platform
