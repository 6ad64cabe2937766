// The control pipe's requests: show, run and kill, each read from the
// message buffer and answered in the same buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace vorn::platform {
class Registry;
}

namespace vorn {

class AgentSupervisor;

// What the requests act on: the service's agents and the profiles in the
// registry.
struct PipeRequestContext {
  AgentSupervisor& agents;
  platform::Registry& registry;
};

// DispatchRequest: answers the request of `received` bytes at the start of
// `buffer` (kPipeMessageSize bytes) with a reply written over it, and
// returns the reply's length. Nothing beyond `received` is read. Run and
// kill change what runs: a client who is no print administrator
// (`administrator` false) gets error 5 for them, and nothing happens.
std::size_t DispatchRequest(PipeRequestContext& context, std::span<std::uint8_t> buffer, std::size_t received,
                            bool administrator);

}  // namespace vorn
