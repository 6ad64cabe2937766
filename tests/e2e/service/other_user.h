// Clients of the service that run as an ordinary user (nobody, 65534): the
// real programs through setpriv, and raw connections from a child process
// that has taken that user. Root only: a test without root skips loudly.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/posix/unique_fd.h"
#include "tests/support/test_support.h"

namespace vorn::e2e {

inline constexpr uid_t kNobody = 65534;

// A connection to the local socket `path` (SOCK_SEQPACKET); none when it fails.
platform::posix::UniqueFd connectLocal(const std::filesystem::path& path);

// A temporary folder that goes with the object, whatever the test's end.
struct RemovedAtEnd {
  std::filesystem::path path;
  ~RemovedAtEnd() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
};

// Why a test cannot take another user here; empty when it can.
std::string otherUserUnavailable();

// Runs `program` as nobody through setpriv, with the extra group `group`
// (a group name) when one is given.
test::ProgramResult runAsNobody(const std::filesystem::path& program, const std::vector<std::string>& args,
                                const std::string& group = {});

// Sends the control code `control` to the service's control socket as `uid`
// and returns the answer's result code; nothing when the connection ended
// without an answer.
std::optional<std::uint32_t> controlAs(const std::filesystem::path& root, uid_t uid, std::uint32_t control);

// `count` connections to the local socket `path` (SOCK_SEQPACKET) made and
// held silent by a child process running as `uid`, until the object goes.
class IdleClients {
 public:
  IdleClients(const std::filesystem::path& path, uid_t uid, int count);
  ~IdleClients();
  IdleClients(const IdleClients&) = delete;
  IdleClients& operator=(const IdleClients&) = delete;

  // How many were connected.
  int connected() const { return connected_; }

 private:
  pid_t child_ = -1;
  int connected_ = 0;
};

}  // namespace vorn::e2e
