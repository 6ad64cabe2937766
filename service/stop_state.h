// How far the service's one stop has come. The state only grows; it changes
// with the table lock held and is read without it.
#pragma once

#include <atomic>
#include <cstdint>

namespace vorn {

inline constexpr std::int32_t STOP_NONE = 0;
inline constexpr std::int32_t STOP_SIGNALLED = 1;    // the agents were signalled
inline constexpr std::int32_t STOP_TERMINATING = 2;  // the agents are being terminated

class StopState {
 public:
  std::int32_t get() const { return state_.load(); }

  // Moves the state on to `state`; never back.
  void advance(std::int32_t state) {
    std::int32_t current = state_.load();
    while (current < state && !state_.compare_exchange_weak(current, state)) {
    }
  }

  // Claims the process's one stop sequence: true for the first caller only.
  bool begin() { return !begun_.exchange(true); }
  bool begun() const { return begun_.load(); }

  // A fatal stop was raised: the process ends with exit code 1.
  void markFatal() { fatal_.store(true); }
  bool fatal() const { return fatal_.load(); }

 private:
  std::atomic<std::int32_t> state_{STOP_NONE};
  std::atomic<bool> begun_{false};
  std::atomic<bool> fatal_{false};
};

}  // namespace vorn
