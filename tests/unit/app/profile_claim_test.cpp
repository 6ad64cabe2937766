// One agent a profile: the claim of a profile's mutex, waiting a while for an
// earlier agent to end.
#include "agent/app/profile_claim.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "agent/diag/agent_event_log.h"
#include "tests/fakes/fake_clock.h"
#include "tests/fakes/fake_named_mutexes.h"
#include "tests/fakes/recording_event_source.h"

namespace vorn {
namespace {

struct ClaimCase {
  const char* what;
  int heldFor;  // tries that find the mutex held elsewhere; -1: for ever
  std::uint32_t createFailure;
  int result;
  std::uint64_t waitedMs;
  std::vector<std::string> events;  // insertion strings 2 and 3
};

TEST(ProfileClaim, WaitsForAnEarlierAgentThenGivesUpWithOneEvent) {
  const ClaimCase cases[] = {
      {"free", 0, 0, 0, 0, {}},
      {"an earlier agent ends within the wait", 30, 0, 0, 3000, {}},
      {"an earlier agent still runs after the wait", fakes::FakeNamedMutexes::kForEver, 0, -1, kProfileClaimWaitMs,
       {"laser1 | terminating - another agent of this profile is still running"}},
      {"no mutex to be had", 0, 5, -1, 0, {"couldn't create the profile's mutex | 5"}},
  };
  for (const ClaimCase& c : cases) {
    SCOPED_TRACE(c.what);
    fakes::FakeNamedMutexes mutexes;
    mutexes.createFailure = c.createFailure;
    // Any spelling of the name is the same mutex.
    if (c.heldFor != 0) mutexes.heldElsewhere[profileMutexName("LASER1")] = c.heldFor;
    fakes::FakeClock clock;
    fakes::EventRecorder recorder;
    AgentEventLog log(std::make_unique<fakes::RecordingEventSource>(recorder));
    ProfileClaim claim;
    EXPECT_EQ(claim.Claim("laser1", mutexes, clock, log), c.result);
    EXPECT_EQ(clock.slept, c.waitedMs);
    std::vector<std::string> events;
    for (const auto& event : recorder.events)
      events.push_back(event.strings.at(1).value_or("") + " | " + event.strings.at(2).value_or(""));
    EXPECT_EQ(events, c.events);
  }
}

}  // namespace
}  // namespace vorn
