// The service's record of its agents: 64 slots, one per printer profile
// whose agent the service runs, keyed by the profile's name, compared without
// regard to case as the registry compares key names (Windows-1252): two
// spellings of one name are one profile key. Every use happens with the
// table lock held (agent_supervisor.h).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/child_process.h"
#include "platform/event.h"
#include "platform/waitable_timer.h"
#include "service/restart_rules.h"

namespace vorn {

inline constexpr int kSubserviceSlots = 64;

// Slot states.
inline constexpr std::int32_t SUBSERVICE_FREE = -1;
inline constexpr std::int32_t SUBSERVICE_RUNNING = 0;       // started, or being started
inline constexpr std::int32_t SUBSERVICE_RETRYING = 1;      // ended; its restart timer is armed
inline constexpr std::int32_t SUBSERVICE_KILLED = 2;        // a kill request ended it
inline constexpr std::int32_t SUBSERVICE_START_FAILED = 33;  // never retried automatically

// The longest profile name a slot holds.
inline constexpr std::size_t kProfileNameMax = 255;

struct SubserviceEntry {
  std::int32_t status = SUBSERVICE_FREE;
  std::string profileName;
  std::unique_ptr<platform::ProcessHandle> process;  // set exactly when processId is not 0
  std::uint32_t processId = 0;
  std::unique_ptr<platform::Event> terminationEvent;  // the agent's TerminateMutex
  std::unique_ptr<platform::WaitableTimer> restartTimer;
  // The agent's restarts and ends (restart_rules.h).
  RestartHistory restarts;
  // Which use of the slot this is: a restart timer routine armed for an
  // earlier use must not launch a later one.
  std::uint64_t generation = 0;

  bool used() const { return status != SUBSERVICE_FREE; }
};

class SubserviceTable {
 public:
  // The slot's index: 0 to 63, or -1 with the last error set:
  // SVC_ERROR_DUPLICATE when a used slot holds `name` in any spelling, SVC_ERROR_TABLE_FULL
  // when none is free, or the system's code when the slot's restart timer
  // cannot be made. The new slot is SUBSERVICE_RUNNING without a process.
  int AddEntry(std::string_view name);

  // Frees the slot and cancels and closes its restart timer. The caller has
  // closed its process handle and termination event before.
  void ReleaseEntry(int slot);

  // The used slot that holds `name` in any spelling; -1 when none does.
  int FindEntry(std::string_view name) const;

  static bool isSlot(int slot) { return slot >= 0 && slot < kSubserviceSlots; }
  SubserviceEntry& operator[](int slot) { return slots_.at(static_cast<std::size_t>(slot)); }
  const SubserviceEntry& operator[](int slot) const { return slots_.at(static_cast<std::size_t>(slot)); }

 private:
  std::array<SubserviceEntry, kSubserviceSlots> slots_;
  std::uint64_t nextGeneration_ = 1;
};

}  // namespace vorn
