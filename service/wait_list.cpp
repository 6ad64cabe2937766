#include "service/wait_list.h"

#include <algorithm>

namespace vorn {

bool WaitList::add(platform::Waitable& process, int slot) {
  if (count_ == handles_.size()) return false;
  handles_[count_] = &process;
  slots_[count_] = slot;
  ++count_;
  return true;
}

void WaitList::remove(std::size_t position) {
  if (position >= count_) return;
  std::copy(handles_.begin() + static_cast<std::ptrdiff_t>(position + 1),
            handles_.begin() + static_cast<std::ptrdiff_t>(count_),
            handles_.begin() + static_cast<std::ptrdiff_t>(position));
  std::copy(slots_.begin() + static_cast<std::ptrdiff_t>(position + 1),
            slots_.begin() + static_cast<std::ptrdiff_t>(count_),
            slots_.begin() + static_cast<std::ptrdiff_t>(position));
  --count_;
}

bool WaitList::holdsSlot(int slot) const {
  return std::find(slots_.begin(), slots_.begin() + static_cast<std::ptrdiff_t>(count_), slot) !=
         slots_.begin() + static_cast<std::ptrdiff_t>(count_);
}

}  // namespace vorn
