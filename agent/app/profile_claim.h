// One agent a profile: the agent holds its profile's machine-wide mutex for
// its whole life. An agent that finds it held waits, for a while, for the
// earlier agent to end (one whose service ended is ending in order); if it
// does not, this one ends instead, so two agents never serve one profile.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace vorn::platform {
class Clock;
class NamedMutex;
class NamedMutexes;
}  // namespace vorn::platform

namespace vorn {

class AgentEventLog;

// How long an agent waits for an earlier agent of its profile: the grace
// period a service gives its agents to end.
inline constexpr std::uint32_t kProfileClaimWaitMs = 10000;
// How often it looks again meanwhile.
inline constexpr std::uint32_t kProfileClaimPollMs = 100;

// The mutex's name: one for every spelling of the profile's name.
std::string profileMutexName(std::string_view profileName);

class ProfileClaim {
 public:
  ProfileClaim();
  ~ProfileClaim();
  ProfileClaim(const ProfileClaim&) = delete;
  ProfileClaim& operator=(const ProfileClaim&) = delete;

  // 0 once this agent holds the profile; -1 after one event when another
  // agent of it still runs after the wait, or the mutex cannot be had.
  int Claim(std::string_view profileName, platform::NamedMutexes& mutexes, platform::Clock& clock,
            AgentEventLog& log);

 private:
  std::unique_ptr<platform::NamedMutex> mutex_;
};

}  // namespace vorn
