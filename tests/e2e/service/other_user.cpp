#include "tests/e2e/service/other_user.h"

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <functional>

#include "platform/posix/unique_fd.h"

namespace vorn::e2e {

using platform::posix::UniqueFd;

UniqueFd connectLocal(const std::filesystem::path& path) {
  UniqueFd socket(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0));
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  if (::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) return {};
  return socket;
}

namespace {

// Runs `work` in a child process that has become `uid` (no groups); what it
// writes to the descriptor it is given comes back through `out`.
pid_t forkAs(uid_t uid, const std::function<void(int out)>& work, UniqueFd& out) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) return -1;
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(ends[0]);
    if (::setgroups(0, nullptr) != 0 || ::setresgid(uid, uid, uid) != 0 || ::setresuid(uid, uid, uid) != 0) ::_exit(2);
    work(ends[1]);
    ::_exit(0);
  }
  ::close(ends[1]);
  out = UniqueFd(ends[0]);
  return child;
}

}  // namespace

std::string otherUserUnavailable() {
  if (::geteuid() != 0) return "SKIPPED: the test takes another user (setpriv, setresuid) and must run as root";
  if (::access("/usr/bin/setpriv", X_OK) != 0) return "SKIPPED: /usr/bin/setpriv is missing";
  return {};
}

test::ProgramResult runAsNobody(const std::filesystem::path& program, const std::vector<std::string>& args,
                                const std::string& group) {
  std::vector<std::string> all{"--reuid=65534", "--regid=65534"};
  all.push_back(group.empty() ? "--clear-groups" : "--groups=" + group);
  all.push_back(program.string());
  all.insert(all.end(), args.begin(), args.end());
  return test::runProgram("/usr/bin/setpriv", all, {}, std::chrono::seconds(60));
}

std::optional<std::uint32_t> controlAs(const std::filesystem::path& root, uid_t uid, std::uint32_t control) {
  const auto path = root / "services" / "VornPrintService" / "control";
  UniqueFd answer;
  const pid_t child = forkAs(
      uid,
      [&](int out) {
        UniqueFd socket = connectLocal(path);
        const std::array<std::uint8_t, 4> request{static_cast<std::uint8_t>(control), static_cast<std::uint8_t>(control >> 8),
                                                  static_cast<std::uint8_t>(control >> 16),
                                                  static_cast<std::uint8_t>(control >> 24)};
        std::array<std::uint8_t, 32> reply{};
        if (socket && ::send(socket.get(), request.data(), request.size(), MSG_NOSIGNAL) == 4 &&
            ::recv(socket.get(), reply.data(), reply.size(), 0) == 32)
          static_cast<void>(::write(out, reply.data(), 4));
      },
      answer);
  std::array<std::uint8_t, 4> result{};
  const bool got = child > 0 && ::read(answer.get(), result.data(), result.size()) == 4;
  if (child > 0) ::waitpid(child, nullptr, 0);
  if (!got) return std::nullopt;
  return result[0] | result[1] << 8 | result[2] << 16 | static_cast<std::uint32_t>(result[3]) << 24;
}

IdleClients::IdleClients(const std::filesystem::path& path, uid_t uid, int count) {
  UniqueFd report;
  child_ = forkAs(
      uid,
      [&](int out) {
        std::vector<UniqueFd> held;
        for (int i = 0; i < count; ++i)
          if (UniqueFd socket = connectLocal(path)) held.push_back(std::move(socket));
        const int connected = static_cast<int>(held.size());
        static_cast<void>(::write(out, &connected, sizeof connected));
        for (;;) ::pause();
      },
      report);
  if (child_ <= 0 || ::read(report.get(), &connected_, sizeof connected_) != sizeof connected_) connected_ = 0;
}

IdleClients::~IdleClients() {
  if (child_ <= 0) return;
  ::kill(child_, SIGKILL);
  ::waitpid(child_, nullptr, 0);
}

}  // namespace vorn::e2e
