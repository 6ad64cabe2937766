// A program for the process tests: reports what it found at its start (its
// descriptors, signal state, session, folder, environment and argument)
// and whether the event it inherited at descriptor 3 gets signalled, as
// key=value lines in the file its one argument names.
#include <dirent.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "platform/event.h"
#include "platform/wait.h"

extern char** environ;

namespace {

std::string openDescriptors() {
  const std::unique_ptr<DIR, int (*)(DIR*)> folder(::opendir("/proc/self/fd"), ::closedir);
  std::string list;
  while (const dirent* entry = folder ? ::readdir(folder.get()) : nullptr) {
    const std::string name = entry->d_name;
    if (name != "." && name != ".." && std::stoi(name) != ::dirfd(folder.get())) list += (list.empty() ? "" : " ") + name;
  }
  return list;
}

// A line of /proc/self/status, such as "SigBlk".
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
  return vorn::platform::waitForMultipleObjects(objects, 10000, false) == 0 ? "signalled" : "timeout";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const std::string descriptors = openDescriptors();  // before this program opens anything else
  int variables = 0;
  while (environ[variables] != nullptr) ++variables;
  const char* terminateMutex = std::getenv("TerminateMutex");
  std::ofstream report(argv[1]);
  report << "fds=" << descriptors << "\nsigblk=" << statusField("SigBlk") << "\nsigign=" << statusField("SigIgn")
         << "\nsession=" << (::getsid(0) == ::getpid() ? "own" : "inherited")
         << "\ncwd=" << std::filesystem::current_path().string() << "\nvariables=" << variables
         << "\nTerminateMutex=" << (terminateMutex != nullptr ? terminateMutex : "(none)") << "\nargument=" << argv[1]
         << "\nevent=" << inheritedEventState() << "\n";
  return report.good() ? 0 : 1;
}
