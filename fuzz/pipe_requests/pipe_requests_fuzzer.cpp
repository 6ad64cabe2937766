// The service's DispatchRequest on arbitrary requests, against a table with
// running, retrying and failed agents. It must never read beyond the bytes
// received (the same request with other bytes after it gets the same reply),
// and every reply must be one a client can read.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "common/pipe_protocol.h"
#include "common/service_identity.h"
#include "platform/child_process.h"
#include "platform/error.h"
#include "service/agent_supervisor.h"
#include "service/pipe_requests.h"
#include "service/service_event_log.h"
#include "tests/fakes/fake_clock.h"
#include "tests/fakes/fake_registry.h"
#include "tests/fakes/recording_event_source.h"

namespace {

using namespace vorn;

class EndlessProcess final : public platform::ProcessHandle {
 public:
  explicit EndlessProcess(std::uint32_t pid) : pid_(pid) {}
  std::uint32_t processId() const override { return pid_; }
  bool terminate(std::uint32_t) override { return true; }
  bool exitCode(std::uint32_t& code) override {
    code = platform::kStillActive;
    return true;
  }

 private:
  std::uint32_t pid_;
};

class Starter final : public AgentStarter {
 public:
  LaunchOutcome LaunchAgent(SubserviceEntry& entry) override {
    entry.processId = nextPid_++;
    entry.process = std::make_unique<EndlessProcess>(entry.processId);
    return {entry.processId, false};
  }

 private:
  std::uint32_t nextPid_ = 100;
};

std::vector<std::uint8_t> dispatch(std::span<const std::uint8_t> request, std::uint8_t filler) {
  fakes::EventRecorder events;
  fakes::RecordingEventLog eventLog(events);
  ServiceEventLog log(eventLog);
  fakes::FakeClock clock;
  StopState stop;
  fakes::FakeRegistry registry;
  for (const char* name : {"A", "B", "C", "D"}) registry.addKey(std::string(kProfilesKey) + "\\" + name);
  Starter starter;
  AgentSupervisor agents(stop, log, clock, [] {}, &starter);
  PipeRequestContext context{agents, registry};
  agents.withTable([&](SubserviceTable& table) {
    table.AddEntry("A");
    starter.LaunchAgent(table[0]);
    table.AddEntry("B");
    table[1].status = SUBSERVICE_RETRYING;
    table.AddEntry("C");
    table[2].status = SUBSERVICE_START_FAILED;
  });

  std::vector<std::uint8_t> buffer(kPipeMessageSize, filler);
  std::copy(request.begin(), request.end(), buffer.begin());
  const std::size_t length = DispatchRequest(context, buffer, request.size(), /*administrator=*/true);
  if (length < kKillReplySize || length > buffer.size()) std::abort();
  buffer.resize(length);
  return buffer;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto request = std::span(data, std::min(size, kPipeMessageSize));
  const auto reply = dispatch(request, 0x00);
  if (dispatch(request, 0xFF) != reply) std::abort();

  const auto header = decodeReplyHeader(reply);
  if (!header) std::abort();
  if (header->code == PIPE_REPLY_LIST) {
    std::size_t offset = kReplyHeaderSize;
    for (std::uint32_t i = 0; i < header->value; ++i) {
      const auto record = decodeShowRecord(reply, offset);
      if (!record) std::abort();
      offset += record->length;
    }
    if (offset != reply.size()) std::abort();
  } else if (header->code == PIPE_REPLY_ERROR) {
    if (reply.back() != 0 || errorReplyText(reply).size() + kReplyHeaderSize + 1 != reply.size()) std::abort();
  }
  return 0;
}
