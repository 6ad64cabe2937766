// Stands in for spoolagent where the service's tests need many agents and no
// printing: it runs until its termination event (TerminateMutex) fires or it
// is killed. The agent of a profile whose name begins with "Exit" ends at
// once, as an agent that cannot start does; one whose name begins with
// "Stubborn" ignores its termination event.
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>

int main(int argc, char** argv) {
  const std::string_view profile = argc > 1 ? argv[1] : "";
  if (profile.starts_with("/profile=\"Exit")) return 1;
  if (profile.starts_with("/profile=\"Stubborn"))
    for (;;) ::pause();
  const char* event = std::getenv("TerminateMutex");
  pollfd watched{event != nullptr ? std::atoi(event) : -1, POLLIN, 0};
  for (;;) {
    const int ready = ::poll(&watched, watched.fd >= 0 ? 1 : 0, -1);
    if (ready > 0) return 0;
    if (ready < 0 && errno != EINTR) return 2;
  }
}
