// Process handles on POSIX: a pidfd of a child of this process. Its state is
// shared with the waits that hold it; whoever lets go last reaps the child
// (or leaves a thread to reap it when it ends), so no child stays a zombie.
#pragma once

#include <sys/types.h>

#include <memory>

#include "platform/child_process.h"
#include "platform/posix/unique_fd.h"

namespace vorn::platform::posix {

// The handle of the child `pid`, whose pidfd is `pidfd`.
std::unique_ptr<ProcessHandle> makeProcessHandle(pid_t pid, UniqueFd pidfd);

}  // namespace vorn::platform::posix
