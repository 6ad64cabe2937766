#include "control/pipe_commands.h"

#include <vector>

#include "common/pipe_protocol.h"
#include "common/service_identity.h"
#include "control/pipe_replies.h"
#include "platform/named_pipe.h"
#include "platform/process.h"

namespace vorn {
namespace {

// Sends the request at the start of `buffer` and receives the reply into the
// same buffer: 0 with `reply` the bytes received, or the pipe call's error.
std::uint32_t call(std::vector<std::uint8_t>& buffer, std::size_t requestLength, std::span<const std::uint8_t>& reply) {
  const std::vector<std::uint8_t> request(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(requestLength));
  std::size_t got = 0;
  const std::uint32_t error = platform::callNamedPipe(kServicePipeName, request, buffer, got, kPipeTimeoutMs);
  reply = std::span<const std::uint8_t>(buffer).first(error == 0 ? got : 0);
  return error;
}

ProfileReplyOutcome profileCommand(std::uint32_t function, std::string_view profileName, std::string_view what) {
  std::vector<std::uint8_t> buffer(kPipeMessageSize);
  // The command line holds a profile name to 91 characters: it always fits.
  const std::size_t length = encodeProfileRequest(buffer, function, platform::currentProcessId(), profileName);
  std::span<const std::uint8_t> reply;
  const std::uint32_t error = call(buffer, length, reply);
  ProfileReplyOutcome outcome = ProfileReplyText(what, error, reply);
  platform::writeStandardOutput(outcome.text);
  return outcome;
}

}  // namespace

void ShowAgents() {
  platform::writeStandardOutput("\n");
  std::vector<std::uint8_t> buffer(kPipeMessageSize);
  const std::size_t length = encodeShowRequest(buffer, platform::currentProcessId(), SHOW_ALL);
  std::span<const std::uint8_t> reply;
  const std::uint32_t error = call(buffer, length, reply);
  platform::writeStandardOutput(ShowReplyText(error, reply));
}

ProfileReplyOutcome RunProfile(std::string_view profileName) {
  return profileCommand(PIPE_FN_RUN, profileName, "Run process");
}

ProfileReplyOutcome KillProfile(std::string_view profileName) {
  return profileCommand(PIPE_FN_KILL, profileName, "Kill process");
}

}  // namespace vorn
