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

namespace vorn {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
Bytes le(std::uint32_t value) {
  return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
          static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}
Bytes zeros(std::size_t count) { return Bytes(count, 0); }
Bytes chars(std::string_view text) { return Bytes(text.begin(), text.end()); }
Bytes text(std::string_view value) { return chars(value) + zeros(1); }
Bytes cut(Bytes bytes, std::size_t length) {
  bytes.resize(length);
  return bytes;
}

Bytes show(std::int32_t selector, std::string_view name = "") {
  return le(PIPE_FN_SHOW) + le(77) + le(0) + le(static_cast<std::uint32_t>(selector)) + zeros(8) + text(name);
}
Bytes profile(std::uint32_t function, std::string_view name) { return le(function) + le(77) + zeros(48) + text(name); }
Bytes run(std::string_view name) { return profile(PIPE_FN_RUN, name); }
Bytes kill(std::string_view name) { return profile(PIPE_FN_KILL, name); }

Bytes error(std::uint32_t code, std::string_view message) { return le(0) + le(0) + le(code) + le(0) + text(message); }
Bytes listing(std::uint32_t count) { return le(PIPE_REPLY_LIST) + le(0) + le(count) + le(0); }
Bytes record(std::int32_t status, std::uint32_t pid, std::string_view name) {
  return le(static_cast<std::uint32_t>(25 + name.size())) + le(static_cast<std::uint32_t>(status)) + le(pid) +
         zeros(12) + text(name);
}
const Bytes kRunDone = le(PIPE_REPLY_RUN) + zeros(16);
const Bytes kKillDone = le(PIPE_REPLY_KILL) + le(0);

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
  LaunchOutcome launch(SubserviceEntry& entry) override {
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
  const Bytes initial = listing(4) + record(0, 4242, "LASER1") + record(1, 0, "Retry") + record(33, 0, "Dead") +
                        record(0, 4300, "Ended");
  const std::string longName(256, 'n');
  play({
      {"7 bytes", le(PIPE_FN_SHOW) + zeros(3), error(kBadRequest, "message syntax error")},
      {"no bytes", {}, error(kBadRequest, "message syntax error")},
      {"function 5", le(5) + zeros(60), error(kBadRequest, "invalid function")},
      {"function 0", le(0) + zeros(4), error(kBadRequest, "invalid function")},
      {"show of every slot, in slot order", show(SHOW_ALL), initial},
      {"show with another selector lists nothing", show(0), listing(0)},
      {"show with a name", show(SHOW_ALL, "x"), initial},
      {"show one byte too long", show(SHOW_ALL) + zeros(1), error(kBadRequest, "Wrong message length")},
      {"show cut before its name", cut(show(SHOW_ALL), 24), error(kBadRequest, "Wrong message length")},
      {"show of 8 bytes", le(PIPE_FN_SHOW) + zeros(4), error(kBadRequest, "Wrong message length")},
      {"show without the name's zero", cut(show(SHOW_ALL, "abc"), 27), error(kBadRequest, "Wrong message length")},
      {"show with a name of 255", show(SHOW_ALL, std::string(255, 'n')), initial},
      {"show without a zero in 256 bytes", show(SHOW_ALL, longName), error(kBadRequest, "Invalid name")},
      {"show of 281 bytes, no zero", cut(show(SHOW_ALL, longName), 280) + chars("z"), error(kBadRequest, "Invalid name")},

      {"run shorter than 57 bytes", cut(run(""), 56), error(kBadRequest, "Wrong message length")},
      {"run of 8 bytes", le(PIPE_FN_RUN) + le(0), error(kBadRequest, "Wrong message length")},
      {"run without the name's zero", cut(run("Free"), 60), error(kBadRequest, "Wrong message length")},
      {"kill without the name's zero", cut(kill("LASER1"), 62), error(kBadRequest, "Wrong message length")},
      {"run of 256 characters", run(longName), error(0x20000007, "name too long")},
      {"run without a profile", run("Nobody"), error(kBadRequest, "couldn't find profile")},
      {"run of an empty name", run(""), error(kBadRequest, "couldn't find profile")},
      {"run of a nested key", run("LASER1\\Nested"), error(kBadRequest, "couldn't find profile")},
      {"duplicate run", run("LASER1"), error(0x20000002, "duplicate entry")},
      {"run", run("Free"), kRunDone},
      {"run with bytes after the name", run("%s%n") + zeros(3), kRunDone},
      {"a name in another spelling is the same profile", run("laser1"), error(0x20000002, "duplicate entry")},
      {"a name with a double quote cannot be passed to its agent", run("quo\"te"),
       error(kBadRequest, "couldn't find profile")},
      {"the new agents take the free slots", show(SHOW_ALL),
       listing(6) + record(0, 4242, "LASER1") + record(1, 0, "Retry") + record(0, 5000, "Free") +
           record(33, 0, "Dead") + record(0, 4300, "Ended") + record(0, 5001, "%s%n")},
      {"run of an agent that cannot start", run("NoProgram"), error(platform::kErrorFileNotFound, "couldn't create process")},

      {"kill of a running agent", kill("LASER1"), kKillDone},
      {"a second kill while the first is under way", kill("LASER1"), kKillDone},
      {"kill in another spelling", kill("fREE"), kKillDone},
      {"kill of a retrying agent", kill("Retry"), kKillDone},
      {"kill of an agent that failed to start", kill("Dead"), kKillDone},
      {"kill of an agent that has ended, not yet reaped", kill("Ended"), kKillDone},
      {"kill of an unknown profile", kill("Nobody"), error(kBadRequest, "couldn't find profile")},
      {"kill of an empty name", kill(""), error(kBadRequest, "couldn't find profile")},
      {"killed agents stay until they are reaped; the others are gone", show(SHOW_ALL),
       listing(5) + record(2, 4242, "LASER1") + record(2, 5000, "Free") + record(2, 4300, "Ended") +
           record(0, 5001, "%s%n") + record(33, 0, "NoProgram")},
  });
  EXPECT_EQ(handOverFailures, 0);
  withTable([](SubserviceTable& table) {
    EXPECT_FALSE(table[1].restartTimer);  // the freed retrying slot's restart is gone with it
  });
}

TEST_F(PipeRequestsTest, AClientWhoIsNoPrintAdministratorMayOnlyList) {
  administrator = false;
  const Bytes initial = listing(4) + record(0, 4242, "LASER1") + record(1, 0, "Retry") + record(33, 0, "Dead") +
                        record(0, 4300, "Ended");
  // The system's own text (Wine's differs from Windows'; the end-to-end tests see the words).
  const Bytes denied = error(platform::kErrorAccessDenied, SystemErrorText(platform::kErrorAccessDenied));
  play({
      {"show", show(SHOW_ALL), initial},
      {"run", run("Free"), denied},
      {"kill of a running agent", kill("LASER1"), denied},
      {"kill of a retrying agent", kill("Retry"), denied},
      {"kill of an unknown profile", kill("Nobody"), denied},
      {"nothing changed", show(SHOW_ALL), initial},
  });
}

TEST_F(PipeRequestsTest, AFullTableAStopAndAFailedHandOver) {
  withTable([](SubserviceTable& table) {
    for (int slot = 0; slot < kSubserviceSlots; ++slot)
      if (!table[slot].used()) table.AddEntry("P" + std::to_string(slot));
  });
  play({{"65th run", run("Free"), error(0x20000004, "addtotable failed")}});
  withTable([](SubserviceTable& table) { table.ReleaseEntry(2); });
  play({{"hand-over failed", run("NoWatchdog"), error(platform::kErrorFileNotFound, "couldn't create process")}});
  EXPECT_EQ(handOverFailures, 1);
  withTable([](SubserviceTable& table) { table.ReleaseEntry(5); });
  ASSERT_TRUE(stop.begin());
  play({{"run during a stop", run("Free"), error(1061, "couldn't create process")}});
  withTable([](SubserviceTable& table) { EXPECT_FALSE(table[5].used()); });
}

TEST_F(PipeRequestsTest, AListingOfLongNamesStaysWithinTheBuffer) {
  withTable([](SubserviceTable& table) {
    for (int slot = 0; slot < kSubserviceSlots; ++slot) {
      if (table[slot].used()) table.ReleaseEntry(slot);
      ASSERT_EQ(table.AddEntry(std::string(253, 'a') + std::to_string(slot % 10) + std::to_string(slot / 10)), slot);
    }
  });
  const Bytes reply = dispatch(show(SHOW_ALL));
  ASSERT_EQ(reply.size(), 16u + 64u * (25u + 255u));
  EXPECT_EQ(*readLe32(reply, 8), 64u);
}

}  // namespace
}  // namespace vorn
