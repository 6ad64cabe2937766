#include "platform/process.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/ansi_code_page.h"
#include "platform/posix/errno_codes.h"
#include "platform/posix/exit_actions.h"

extern char** environ;

namespace vorn::platform {
namespace posix {
namespace {

// Process-wide, as the process's end is.
struct ExitActions {
  std::array<std::atomic<ExitAction>, 4> actions{};
  std::atomic<std::size_t> count{0};
};

ExitActions& exitActions() {
  static ExitActions registered;
  return registered;
}

}  // namespace

void atProcessExit(ExitAction action) {
  ExitActions& registered = exitActions();
  const std::size_t slot = registered.count.fetch_add(1);
  if (slot < registered.actions.size()) registered.actions[slot].store(action);
}

void runExitActions() {
  ExitActions& registered = exitActions();
  const std::size_t count = std::min(registered.count.load(), registered.actions.size());
  for (std::size_t i = 0; i < count; ++i) {
    if (const ExitAction action = registered.actions[i].load()) action();
  }
}

}  // namespace posix

std::string commandLineTail(int argc, const char* const* argv) {
  std::string joined;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) joined.push_back(' ');
    joined += argv[i];
  }
  return ansiFromUtf8(joined);
}

std::vector<std::string> commandArguments(int argc, const char* const* argv) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(ansiFromUtf8(argv[i]));
  return arguments;
}

std::vector<char> environmentStrings() {
  std::vector<char> block;
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    const std::size_t length = std::strlen(*entry);
    block.insert(block.end(), *entry, *entry + length + 1);
  }
  block.push_back('\0');
  return block;
}

std::string programFileName(std::string_view program) { return std::string(program); }

std::string moduleFileName() {
  std::array<char, 4096> path{};
  const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size() - 1);
  if (n <= 0) {
    setLastErrorFromErrno();
    return {};
  }
  return std::string(path.data(), static_cast<std::size_t>(n));
}

std::uint32_t currentProcessId() { return static_cast<std::uint32_t>(::getpid()); }

// COM has no counterpart on POSIX: the host link component is an ordinary
// object of this process, so there is nothing to initialise.
HRESULT initializeComForThread() { return kSOk; }
void uninitializeComForThread() {}

void showErrorMessage(std::string_view caption, std::string_view message) {
  std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(caption.size()), caption.data(),
               static_cast<int>(message.size()), message.data());
  std::fflush(stderr);
}

void writeStandardOutput(std::string_view text) {
  const std::string utf8 = utf8FromAnsi(text);
  std::fwrite(utf8.data(), 1, utf8.size(), stdout);
  std::fflush(stdout);
}

void writeStandardError(std::string_view text) {
  const std::string utf8 = utf8FromAnsi(text);
  std::fwrite(utf8.data(), 1, utf8.size(), stderr);
  std::fflush(stderr);
}

std::vector<bool> argumentsInAnsiCodePage(int argc, const char* const* argv) {
  std::vector<bool> whole;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument(argv[i]);
    whole.push_back(isValidUtf8(argument) && utf8FromAnsi(ansiFromUtf8(argument)) == argument);
  }
  return whole;
}

void exitProcess(std::uint32_t code) {
  posix::runExitActions();
  std::fflush(nullptr);
  ::_exit(static_cast<int>(code & 0xFFu));
}

}  // namespace vorn::platform
