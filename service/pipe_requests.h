// The control pipe's requests: show, run and kill, each read from the
// message buffer and answered in the same buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "service/agent_launcher.h"

namespace vorn::platform {
class CriticalSection;
class Registry;
}  // namespace vorn::platform

namespace vorn {

class StopState;
class SubserviceTable;

// How a run request starts an agent: the launcher, and the fatal stop that
// follows an agent that could not be handed to the watchdog.
class AgentStarter {
 public:
  virtual ~AgentStarter() = default;
  // LaunchAgent; the caller holds the table lock.
  virtual LaunchOutcome launch(int slot) = 0;
  // FatalStop("QueueUserAPC failed"); never with the table lock held.
  virtual void handOverFailed() = 0;
};

// What the requests act on: the table under its lock, the stop state, the
// profiles in the registry, the launcher.
struct PipeRequestContext {
  platform::CriticalSection& tableLock;
  SubserviceTable& table;
  const StopState& stop;
  platform::Registry& registry;
  AgentStarter& starter;
};

// DispatchRequest: answers the request of `received` bytes at the start of
// `buffer` (kPipeMessageSize bytes) with a reply written over it, and
// returns the reply's length. Nothing beyond `received` is read. Run and
// kill change what runs: a client who is no print administrator
// (`administrator` false) gets error 5 for them, and nothing happens.
std::size_t DispatchRequest(PipeRequestContext& context, std::span<std::uint8_t> buffer, std::size_t received,
                            bool administrator);

}  // namespace vorn
