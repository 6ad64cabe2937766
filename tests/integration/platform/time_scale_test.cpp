// The time scale seen end to end: this test starts its own program again
// with VORNPRINT_TIME_SCALE=20 (read once per process), and that run checks
// that a 60-second timer fires after 3 seconds.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "platform/child_process.h"
#include "platform/clock.h"
#include "platform/error.h"
#include "platform/process.h"
#include "platform/wait.h"
#include "platform/waitable_timer.h"

namespace vorn::platform {
namespace {

constexpr unsigned kScale = 20;

// This process's environment with the time scale set.
std::vector<char> scaledEnvironment() {
  std::vector<char> block;
  const std::vector<char> own = environmentStrings();
  for (std::size_t at = 0; at < own.size() && own[at] != '\0';) {
    const std::string_view entry(&own[at]);
    if (!entry.starts_with("VORNPRINT_TIME_SCALE=")) block.insert(block.end(), entry.begin(), entry.end() + 1);
    at += entry.size() + 1;
  }
  const std::string_view scale = "VORNPRINT_TIME_SCALE=20";
  block.insert(block.end(), scale.begin(), scale.end());
  block.push_back('\0');
  block.push_back('\0');
  return block;
}

TEST(TimeScale, SixtySecondTimerFiresAfterThreeSecondsAtScaleTwenty) {
  if (timeScale() != kScale) {
    const std::vector<char> environment = scaledEnvironment();
    ProcessStart start;
    start.commandLine = "platform_time_scale_tests --gtest_filter=TimeScale.*";
    start.environment = environment;
    std::unique_ptr<ProcessHandle> run;
    ASSERT_EQ(createProcess(start, run), kErrorSuccess);
    Waitable* objects[] = {run.get()};
    const std::uint32_t ended = waitForMultipleObjects(objects, 30000, false);
    if (ended != kWaitObject0) run->terminate(1);
    ASSERT_EQ(ended, kWaitObject0) << "the scaled run did not end";
    std::uint32_t code = 1;
    ASSERT_TRUE(run->exitCode(code));
    EXPECT_EQ(code, 0u) << "the scaled run failed (its output is above)";
    return;
  }

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
