#include "service/subservice_table.h"

#include <gtest/gtest.h>

#include <string>

#include "common/service_errors.h"
#include "platform/error.h"

namespace vorn {
namespace {

TEST(SubserviceTable, NamesInAnySpellingLowestFreeSlotAndANewUseOfAFreedSlot) {
  SubserviceTable table;
  EXPECT_EQ(table.AddEntry("Laser"), 0);
  EXPECT_EQ(table.AddEntry("B\xDCro"), 1);
  // One registry key, whatever the spelling (Windows-1252 letters too).
  for (const char* spelling : {"Laser", "LASER", "laser", "b\xFCRO"}) {
    EXPECT_EQ(table.AddEntry(spelling), -1) << spelling;
    EXPECT_EQ(platform::lastError(), SVC_ERROR_DUPLICATE);
  }
  EXPECT_EQ(table.FindEntry("lAsEr"), 0);
  EXPECT_EQ(table.FindEntry("Lasers"), -1);
  EXPECT_EQ(table[0].profileName, "Laser");  // as stored
  EXPECT_EQ(table[1].status, SUBSERVICE_RUNNING);
  EXPECT_EQ(table[1].processId, 0u);
  EXPECT_TRUE(table[1].restartTimer);

  for (int slot = 2; slot < kSubserviceSlots; ++slot) ASSERT_EQ(table.AddEntry("P" + std::to_string(slot)), slot);
  EXPECT_EQ(table.AddEntry("one too many"), -1);
  EXPECT_EQ(platform::lastError(), SVC_ERROR_TABLE_FULL);

  const std::uint64_t earlier = table[0].generation;
  table.ReleaseEntry(0);
  EXPECT_EQ(table[0].status, SUBSERVICE_FREE);
  EXPECT_FALSE(table[0].restartTimer);
  EXPECT_EQ(table.AddEntry("Other"), 0);
  EXPECT_NE(table[0].generation, earlier);  // a timer armed for the earlier use finds it gone
}

}  // namespace
}  // namespace vorn
