// The control pipe's server threads: up to ten instances of the pipe, each
// serving one client at a time (connect, one request, one reply,
// disconnect), with one instance always left listening while the pipe can
// be served at all.
#pragma once

#include <cstdint>
#include <span>

#include "platform/lock.h"
#include "service/pipe_requests.h"

namespace vorn::platform {
class Clock;
class NamedPipe;
}  // namespace vorn::platform

namespace vorn {

class ServiceEventLog;

class PipeServer {
 public:
  PipeServer(PipeRequestContext context, ServiceEventLog& log, platform::Clock& clock)
      : context_(context), log_(log), clock_(clock) {}
  PipeServer(const PipeServer&) = delete;
  PipeServer& operator=(const PipeServer&) = delete;

  // StartPipeServerThread: one more server thread.
  void StartPipeServerThread();

 private:
  void PipeServerThread();
  // Answers one connected client. false when the instance can serve no more.
  bool serveClient(platform::NamedPipe& pipe, std::span<std::uint8_t> buffer);
  // After a failure of its instance: a thread whose fellows still listen
  // leaves the counts and ends (false); the last listener waits a growing
  // back-off and tries again (true).
  bool retryAfterFailure();

  PipeRequestContext context_;
  ServiceEventLog& log_;
  platform::Clock& clock_;
  // PipeLock guards the counters; a thread holding it starts the next thread.
  platform::RecursiveCriticalSection pipeLock_;
  std::int32_t threadCount_ = 0;  // server threads that serve or listen
  std::int32_t busyCount_ = 0;    // of those, the ones with a client
  std::uint32_t backoffMs_ = 0;   // the last listener's wait before it tries again
};

}  // namespace vorn
