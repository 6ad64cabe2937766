// A program for the process tests: reports what it found at its start (its
// descriptors, signal state, session, folder, environment and argument)
// and whether the event it inherited at descriptor 3 gets signalled, as
// key=value lines in the file its one argument names.
#include <dirent.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>

#include "platform/event.h"
#include "platform/wait.h"

extern char** environ;

namespace {

std::string openDescriptors() {
  std::unique_ptr<DIR, int (*)(DIR*)> folder(::opendir("/proc/self/fd"), ::closedir);
  if (!folder) return "?";
  std::string list;
  while (const dirent* entry = ::readdir(folder.get())) {
    const std::string name = entry->d_name;
    if (name == "." || name == ".." || std::stoi(name) == ::dirfd(folder.get())) continue;
    list += (list.empty() ? "" : " ") + name;
  }
  return list;
}

// The value of a line of /proc/self/status, such as "SigBlk".
std::string statusField(const std::string& field) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with(field + ":")) return line.substr(line.find_first_not_of(" \t", field.size() + 1));
  }
  return "?";
}

std::string inheritedEventState() {
  const auto event = vorn::platform::inheritedEvent(3);
  if (!event) return "none";
  vorn::platform::Waitable* objects[] = {event.get()};
  return vorn::platform::waitForMultipleObjects(objects, 10000, false) == vorn::platform::kWaitObject0 ? "signalled"
                                                                                                      : "timeout";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: vorn_child_probe REPORT-FILE\n";
    return 2;
  }
  const std::string descriptors = openDescriptors();  // before this program opens anything
  int variables = 0;
  for (char** entry = environ; *entry != nullptr; ++entry) ++variables;
  const char* terminateMutex = std::getenv("TerminateMutex");
  const std::unique_ptr<char, void (*)(void*)> folder(::getcwd(nullptr, 0), std::free);

  std::ofstream report(argv[1]);
  report << "fds=" << descriptors << "\n"
         << "sigblk=" << statusField("SigBlk") << "\n"
         << "sigign=" << statusField("SigIgn") << "\n"
         << "session=" << (::getsid(0) == ::getpid() ? "own" : "inherited") << "\n"
         << "cwd=" << (folder ? folder.get() : "?") << "\n"
         << "variables=" << variables << "\n"
         << "TerminateMutex=" << (terminateMutex != nullptr ? terminateMutex : "(none)") << "\n"
         << "argument=" << argv[1] << "\n"
         << "event=" << inheritedEventState() << "\n";
  return report.good() ? 0 : 1;
}
