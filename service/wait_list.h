// The processes the watchdog waits for, in the order they were added, and
// the slot of each. Guarded by the table lock (agent_supervisor.h).
#pragma once

#include <array>
#include <cstddef>
#include <span>

#include "platform/wait.h"

namespace vorn {

class WaitList {
 public:
  // Appends; false when the list holds kMaximumWaitObjects already.
  bool add(platform::Waitable& process, int slot);
  // Removes a position; the later ones move down by one.
  void remove(std::size_t position);
  void clear() { count_ = 0; }

  std::size_t count() const { return count_; }
  int slotAt(std::size_t position) const { return slots_.at(position); }
  bool holdsSlot(int slot) const;
  std::span<platform::Waitable* const> handles() const { return {handles_.data(), count_}; }

 private:
  std::array<platform::Waitable*, platform::kMaximumWaitObjects> handles_{};
  std::array<int, platform::kMaximumWaitObjects> slots_{};
  std::size_t count_ = 0;
};

}  // namespace vorn
