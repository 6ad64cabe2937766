// DispatchRequest against a supervisor whose table the test fills, a
// registry and a launcher of its own: one script of requests, each with the exact reply it gets.
#include "service/pipe_requests.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/pipe_protocol.h"
#include "common/service_identity.h"
#include "platform/child_process.h"
#include "platform/error.h"
#include "service/agent_supervisor.h"
#include "service/service_event_log.h"
#include "tests/fakes/fake_clock.h"
#include "tests/fakes/fake_registry.h"
#include "tests/fakes/recording_event_source.h"
#include "tests/support/pipe_bytes.h"

namespace vorn {
namespace {

using namespace test;  // the pipe's bytes

constexpr std::uint32_t kBadRequest = 0x20000001;

// An agent process that ends when it is terminated, or has ended already.
class FakeProcess final : public platform::ProcessHandle {
 public:
  FakeProcess(std::uint32_t pid, bool ended) : pid_(pid), ended_(ended) {}
  std::uint32_t processId() const override { return pid_; }
  bool terminate(std::uint32_t code) override {
    if (ended_) {
      platform::setLastError(platform::kErrorAccessDenied);
      return false;
    }
    ended_ = true;
    exitCode_ = code;
    return true;
  }
  bool exitCode(std::uint32_t& code) override {
    code = ended_ ? exitCode_ : platform::kStillActive;
    return true;
  }

 private:
  std::uint32_t pid_;
  bool ended_;
  std::uint32_t exitCode_ = 0;
};

// Starts agents as process ids 5000 on; "NoProgram" is not found, and
// "NoWatchdog" starts but cannot be handed over.
class FakeStarter final : public AgentStarter {
 public:
  LaunchOutcome LaunchAgent(SubserviceEntry& entry) override {
    if (entry.profileName == "NoProgram" || entry.profileName == "NoWatchdog") {
      entry.status = SUBSERVICE_START_FAILED;
      platform::setLastError(platform::kErrorFileNotFound);
      return {0, entry.profileName == "NoWatchdog"};
    }
    entry.processId = nextPid_++;
    entry.process = std::make_unique<FakeProcess>(entry.processId, false);
    return {entry.processId, false};
  }

 private:
  std::uint32_t nextPid_ = 5000;
};

struct Step {
  std::string what;
  Bytes request;
  Bytes reply;
};

class PipeRequestsTest : public testing::Test {
 protected:
  PipeRequestsTest() {
    const std::string profiles(kProfilesKey);
    for (const char* name : {"LASER1", "Retry", "Dead", "Ended", "Free", "NoProgram", "NoWatchdog", "%s%n", "quo\"te"})
      registry.addKey(profiles + "\\" + name);
    // What a registry may make of an empty or nested name: they must never get there.
    registry.addKey(profiles + "\\");
    registry.addKey(profiles + "\\LASER1\\Nested");
    put(0, "LASER1", SUBSERVICE_RUNNING, 4242, false);
    put(1, "Retry", SUBSERVICE_RETRYING, 0, false);
    put(3, "Dead", SUBSERVICE_START_FAILED, 0, false);
    put(4, "Ended", SUBSERVICE_RUNNING, 4300, true);
  }

  void put(int slot, const std::string& name, std::int32_t status, std::uint32_t pid, bool ended) {
    withTable([&](SubserviceTable& table) {
      // Fillers take the free slots below it, and leave again.
      int taken = -1;
      for (int filler = 0; (taken = table.AddEntry("filler" + std::to_string(filler))) < slot; ++filler) {
      }
      ASSERT_EQ(taken, slot);
      table[slot].profileName = name;
      table[slot].status = status;
      table[slot].processId = pid;
      if (pid != 0) table[slot].process = std::make_unique<FakeProcess>(pid, ended);
      for (int other = 0; other < slot; ++other)
        if (table[other].used() && table[other].profileName.starts_with("filler")) table.ReleaseEntry(other);
    });
  }

  Bytes dispatch(const Bytes& request) {
    Bytes buffer(kPipeMessageSize, 0xEE);
    std::copy(request.begin(), request.end(), buffer.begin());
    const std::size_t length = DispatchRequest(context, buffer, request.size(), administrator);
    buffer.resize(std::min(length, buffer.size()));
    return buffer;
  }

  void play(const std::vector<Step>& steps) {
    for (const Step& step : steps) {
      SCOPED_TRACE(step.what);
      EXPECT_EQ(dispatch(step.request), step.reply);
    }
  }

  // The supervisor's table, under its lock.
  void withTable(const std::function<void(SubserviceTable&)>& use) { agents.withTable(use); }

  fakes::EventRecorder events;
  fakes::RecordingEventLog eventLog{events};
  ServiceEventLog log{eventLog};
  fakes::FakeClock clock;
  StopState stop;
  fakes::FakeRegistry registry;
  FakeStarter starter;
  int handOverFailures = 0;
  AgentSupervisor agents{stop, log, clock, [this] { ++handOverFailures; }, &starter};
  PipeRequestContext context{agents, registry};
  bool administrator = true;  // the client is a print administrator
};

TEST_F(PipeRequestsTest, RequestsAndTheirExactReplies) {
  const Bytes initial = listingReply(4) + showRecord(0, 4242, "LASER1") + showRecord(1, 0, "Retry") +
                        showRecord(33, 0, "Dead") + showRecord(0, 4300, "Ended");
  const std::string longName(256, 'n');
  play({
      {"7 bytes", le(PIPE_FN_SHOW) + zeros(3), errorReply(kBadRequest, "message syntax error")},
      {"no bytes", {}, errorReply(kBadRequest, "message syntax error")},
      {"function 5", le(5) + zeros(60), errorReply(kBadRequest, "invalid function")},
      {"function 0", le(0) + zeros(4), errorReply(kBadRequest, "invalid function")},
      {"show of every slot, in slot order", showRequest(SHOW_ALL), initial},
      {"show with another selector lists nothing", showRequest(0), listingReply(0)},
      {"show with a name", showRequest(SHOW_ALL, "x"), initial},
      {"show one byte too long", showRequest(SHOW_ALL) + zeros(1), errorReply(kBadRequest, "Wrong message length")},
      {"show cut before its name", cut(showRequest(SHOW_ALL), 24), errorReply(kBadRequest, "Wrong message length")},
      {"show of 8 bytes", le(PIPE_FN_SHOW) + zeros(4), errorReply(kBadRequest, "Wrong message length")},
      {"show without the name's zero", cut(showRequest(SHOW_ALL, "abc"), 27),
       errorReply(kBadRequest, "Wrong message length")},
      {"show with a name of 255", showRequest(SHOW_ALL, std::string(255, 'n')), initial},
      {"show without a zero in 256 bytes", showRequest(SHOW_ALL, longName), errorReply(kBadRequest, "Invalid name")},
      {"show of 281 bytes, no zero", cut(showRequest(SHOW_ALL, longName), 280) + chars("z"),
       errorReply(kBadRequest, "Invalid name")},

      {"run shorter than 57 bytes", cut(runRequest(""), 56), errorReply(kBadRequest, "Wrong message length")},
      {"run of 8 bytes", le(PIPE_FN_RUN) + le(0), errorReply(kBadRequest, "Wrong message length")},
      {"run without the name's zero", cut(runRequest("Free"), 60), errorReply(kBadRequest, "Wrong message length")},
      {"kill without the name's zero", cut(killRequest("LASER1"), 62), errorReply(kBadRequest, "Wrong message length")},
      {"run of 256 characters", runRequest(longName), errorReply(0x20000007, "name too long")},
      {"run without a profile", runRequest("Nobody"), errorReply(kBadRequest, "couldn't find profile")},
      {"run of an empty name", runRequest(""), errorReply(kBadRequest, "couldn't find profile")},
      {"run of a nested key", runRequest("LASER1\\Nested"), errorReply(kBadRequest, "couldn't find profile")},
      {"duplicate run", runRequest("LASER1"), errorReply(0x20000002, "duplicate entry")},
      {"run", runRequest("Free"), runReply()},
      {"run with bytes after the name", runRequest("%s%n") + zeros(3), runReply()},
      {"a name in another spelling is the same profile", runRequest("laser1"),
       errorReply(0x20000002, "duplicate entry")},
      {"a name with a double quote cannot be passed to its agent", runRequest("quo\"te"),
       errorReply(kBadRequest, "couldn't find profile")},
      {"the new agents take the free slots", showRequest(SHOW_ALL),
       listingReply(6) + showRecord(0, 4242, "LASER1") + showRecord(1, 0, "Retry") + showRecord(0, 5000, "Free") +
           showRecord(33, 0, "Dead") + showRecord(0, 4300, "Ended") + showRecord(0, 5001, "%s%n")},
      {"run of an agent that cannot start", runRequest("NoProgram"),
       errorReply(platform::kErrorFileNotFound, "couldn't create process")},

      {"kill of a running agent", killRequest("LASER1"), killReply()},
      {"a second kill while the first is under way", killRequest("LASER1"), killReply()},
      {"kill in another spelling", killRequest("fREE"), killReply()},
      {"kill of a retrying agent", killRequest("Retry"), killReply()},
      {"kill of an agent that failed to start", killRequest("Dead"), killReply()},
      {"kill of an agent that has ended, not yet reaped", killRequest("Ended"), killReply()},
      {"kill of an unknown profile", killRequest("Nobody"), errorReply(kBadRequest, "couldn't find profile")},
      {"kill of an empty name", killRequest(""), errorReply(kBadRequest, "couldn't find profile")},
      {"killed agents stay until they are reaped; the others are gone", showRequest(SHOW_ALL),
       listingReply(5) + showRecord(2, 4242, "LASER1") + showRecord(2, 5000, "Free") + showRecord(2, 4300, "Ended") +
           showRecord(0, 5001, "%s%n") + showRecord(33, 0, "NoProgram")},
  });
  EXPECT_EQ(handOverFailures, 0);
  withTable([](SubserviceTable& table) {
    EXPECT_FALSE(table[1].restartTimer);  // the freed retrying slot's restart is gone with it
  });
}

TEST_F(PipeRequestsTest, AClientWhoIsNoPrintAdministratorMayOnlyList) {
  administrator = false;
  const Bytes initial = listingReply(4) + showRecord(0, 4242, "LASER1") + showRecord(1, 0, "Retry") +
                        showRecord(33, 0, "Dead") + showRecord(0, 4300, "Ended");
  // The system's own text (Wine's differs from Windows'; the end-to-end tests see the words).
  const Bytes denied = errorReply(platform::kErrorAccessDenied, SystemErrorText(platform::kErrorAccessDenied));
  play({
      {"show", showRequest(SHOW_ALL), initial},
      {"run", runRequest("Free"), denied},
      {"kill of a running agent", killRequest("LASER1"), denied},
      {"kill of a retrying agent", killRequest("Retry"), denied},
      {"kill of an unknown profile", killRequest("Nobody"), denied},
      {"nothing changed", showRequest(SHOW_ALL), initial},
  });
}

TEST_F(PipeRequestsTest, AFullTableAStopAndAFailedHandOver) {
  withTable([](SubserviceTable& table) {
    for (int slot = 0; slot < kSubserviceSlots; ++slot)
      if (!table[slot].used()) table.AddEntry("P" + std::to_string(slot));
  });
  play({{"65th run", runRequest("Free"), errorReply(0x20000004, "addtotable failed")}});
  withTable([](SubserviceTable& table) { table.ReleaseEntry(2); });
  play({{"hand-over failed", runRequest("NoWatchdog"),
         errorReply(platform::kErrorFileNotFound, "couldn't create process")}});
  EXPECT_EQ(handOverFailures, 1);
  withTable([](SubserviceTable& table) { table.ReleaseEntry(5); });
  ASSERT_TRUE(stop.begin());
  play({{"run during a stop", runRequest("Free"), errorReply(1061, "couldn't create process")}});
  withTable([](SubserviceTable& table) { EXPECT_FALSE(table[5].used()); });
}

TEST_F(PipeRequestsTest, AListingOfLongNamesStaysWithinTheBuffer) {
  withTable([](SubserviceTable& table) {
    for (int slot = 0; slot < kSubserviceSlots; ++slot) {
      if (table[slot].used()) table.ReleaseEntry(slot);
      ASSERT_EQ(table.AddEntry(std::string(253, 'a') + std::to_string(slot % 10) + std::to_string(slot / 10)), slot);
    }
  });
  const Bytes reply = dispatch(showRequest(SHOW_ALL));
  ASSERT_EQ(reply.size(), 16u + 64u * (25u + 255u));
  EXPECT_EQ(*readLe32(reply, 8), 64u);
}

}  // namespace
}  // namespace vorn
