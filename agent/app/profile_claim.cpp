#include "agent/app/profile_claim.h"

#include "agent/diag/agent_event_log.h"
#include "platform/ansi_code_page.h"
#include "platform/clock.h"
#include "platform/error.h"
#include "platform/named_mutex.h"
#include "platform/wait.h"

namespace vorn {

std::string profileMutexName(std::string_view profileName) {
  return "VornPrint agent " + platform::ansiLowerCase(profileName);
}

ProfileClaim::ProfileClaim() = default;
ProfileClaim::~ProfileClaim() = default;

int ProfileClaim::Claim(std::string_view profileName, platform::NamedMutexes& mutexes, platform::Clock& clock,
                        AgentEventLog& log) {
  if (const std::uint32_t error = mutexes.create(profileMutexName(profileName), mutex_)) {
    log.LogErrorCode("couldn't create the profile's mutex", static_cast<std::int32_t>(error));
    return -1;
  }
  const std::uint64_t start = clock.tickCount64();
  for (;;) {
    const std::uint32_t result = mutex_->tryAcquire();
    if (result == platform::kWaitObject0) return 0;
    if (result != platform::kWaitTimeout) {
      log.LogErrorCode("couldn't take the profile's mutex", static_cast<std::int32_t>(platform::lastError()));
      break;
    }
    if (clock.tickCount64() - start >= kProfileClaimWaitMs) {
      log.LogErrorPair(profileName, "terminating - another agent of this profile is still running");
      break;
    }
    clock.sleep(kProfileClaimPollMs);
  }
  mutex_.reset();
  return -1;
}

}  // namespace vorn
