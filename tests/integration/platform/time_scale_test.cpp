// The time scale seen end to end: with VORNPRINT_TIME_SCALE=20 a 60-second
// timer fires after 3 seconds. The scale is read once per process, at its
// first use: this test is alone in its program and sets the variable first.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "platform/clock.h"
#include "platform/error.h"
#include "platform/wait.h"
#include "platform/waitable_timer.h"

namespace vorn::platform {
namespace {

TEST(TimeScale, SixtySecondTimerFiresAfterThreeSecondsAtScaleTwenty) {
  ASSERT_EQ(::setenv("VORNPRINT_TIME_SCALE", "20", 1), 0);
  ASSERT_EQ(timeScale(), 20u) << "the scale was read before the test set it";
  std::unique_ptr<WaitableTimer> timer;
  ASSERT_EQ(createWaitableTimer(true, timer), kErrorSuccess);
  bool fired = false;
  const auto armed = std::chrono::steady_clock::now();
  ASSERT_TRUE(timer->set(-600000000, [&] { fired = true; }));
  EXPECT_EQ(sleepEx(kInfinite, true), kWaitIoCompletion);
  const auto elapsed = std::chrono::steady_clock::now() - armed;
  EXPECT_TRUE(fired);
  EXPECT_GE(elapsed, std::chrono::milliseconds(3000));
  EXPECT_LT(elapsed, std::chrono::milliseconds(4500));
}

}  // namespace
}  // namespace vorn::platform
