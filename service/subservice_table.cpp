#include "service/subservice_table.h"

#include <new>

#include "common/service_errors.h"
#include "platform/ansi_code_page.h"
#include "platform/error.h"

namespace vorn {

int SubserviceTable::FindEntry(std::string_view name) const {
  for (int slot = 0; slot < kSubserviceSlots; ++slot) {
    const SubserviceEntry& entry = (*this)[slot];
    if (entry.used() && platform::equalsIgnoringCase(entry.profileName, name)) return slot;
  }
  return -1;
}

int SubserviceTable::AddEntry(std::string_view name) {
  if (FindEntry(name) >= 0) {
    platform::setLastError(SVC_ERROR_DUPLICATE);
    return -1;
  }
  int slot = 0;
  while (slot < kSubserviceSlots && (*this)[slot].used()) ++slot;
  if (slot == kSubserviceSlots) {
    platform::setLastError(SVC_ERROR_TABLE_FULL);
    return -1;
  }

  SubserviceEntry fresh;
  try {
    fresh.profileName.assign(name);
  } catch (const std::bad_alloc&) {
    platform::setLastError(platform::kErrorNotEnoughMemory);
    return -1;
  }
  if (platform::createWaitableTimer(true, fresh.restartTimer) != platform::kErrorSuccess) return -1;
  fresh.status = SUBSERVICE_RUNNING;
  fresh.generation = nextGeneration_++;
  (*this)[slot] = std::move(fresh);
  return slot;
}

void SubserviceTable::ReleaseEntry(int slot) {
  SubserviceEntry& entry = (*this)[slot];
  entry.status = SUBSERVICE_FREE;
  entry.profileName.clear();
  entry.profileName.shrink_to_fit();
  if (entry.restartTimer) {
    // A timer that cannot be cancelled is closed all the same; its routine
    // finds the slot's use ended.
    static_cast<void>(entry.restartTimer->cancel());
    entry.restartTimer.reset();
  }
  entry.restarts = {};
}

}  // namespace vorn
