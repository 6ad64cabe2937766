// Threads, queued calls and waitable timers: what runs where, and when.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/error.h"
#include "platform/event.h"
#include "platform/thread.h"
#include "platform/wait.h"
#include "platform/waitable_timer.h"

namespace vorn::platform {
namespace {

using namespace std::chrono_literals;

constexpr std::int64_t kMilliseconds = -10000;  // relative due time of 1 ms

std::unique_ptr<Thread> startThread(std::function<void()> routine) {
  std::unique_ptr<Thread> thread;
  EXPECT_EQ(createThread(std::move(routine), thread), kErrorSuccess);
  return thread;
}

std::uint32_t waitFor(Waitable& object, std::uint32_t timeoutMs, bool alertable = false) {
  Waitable* objects[] = {&object};
  return waitForMultipleObjects(objects, timeoutMs, alertable);
}

std::unique_ptr<WaitableTimer> makeTimer() {
  std::unique_ptr<WaitableTimer> timer;
  EXPECT_EQ(createWaitableTimer(true, timer), kErrorSuccess);
  return timer;
}

std::unique_ptr<Event> makeEvent(bool manualReset, bool signalled) {
  std::unique_ptr<Event> event;
  EXPECT_EQ(createEvent(manualReset, signalled, false, event), kErrorSuccess);
  return event;
}

TEST(QueuedCall, WakesAnInfiniteAlertableWaitAndRunsOnTheTargetThread) {
  std::atomic<std::thread::id> waiter;
  std::atomic<std::thread::id> ranOn;
  std::atomic<std::uint32_t> result = 0;
  auto thread = startThread([&] {
    waiter = std::this_thread::get_id();
    result = sleepEx(kInfinite, true);
  });
  std::this_thread::sleep_for(50ms);  // let it block
  ASSERT_TRUE(thread->queueCall([&] { ranOn = std::this_thread::get_id(); }));
  ASSERT_EQ(waitFor(*thread, 5000), kWaitObject0);
  EXPECT_EQ(result, kWaitIoCompletion);
  EXPECT_EQ(ranOn.load(), waiter.load());

  EXPECT_FALSE(thread->queueCall([] {})) << "the thread has ended";
  EXPECT_EQ(lastError(), kErrorGenFailure);
}

TEST(QueuedCall, RunsInOrderAndOnlyDuringAnAlertableWait) {
  auto go = makeEvent(true, false);
  std::vector<std::string> order;
  std::size_t ranDuringPlainWait = 99;
  std::uint32_t plainWait = 0;
  std::uint32_t alertableWait = 0;
  auto thread = startThread([&] {
    plainWait = waitFor(*go, 5000);
    ranDuringPlainWait = order.size();
    alertableWait = sleepEx(0, true);
  });
  ASSERT_TRUE(thread->queueCall([&] { order.push_back("first"); }));
  ASSERT_TRUE(thread->queueCall([&] { order.push_back("second"); }));
  ASSERT_TRUE(go->set());
  ASSERT_EQ(waitFor(*thread, 5000), kWaitObject0);
  EXPECT_EQ(plainWait, kWaitObject0);
  EXPECT_EQ(ranDuringPlainWait, 0u);
  EXPECT_EQ(alertableWait, kWaitIoCompletion);
  EXPECT_EQ(order, (std::vector<std::string>{"first", "second"}));
}

TEST(WaitableTimer, RoutineRunsOnTheArmingThreadDuringItsAlertableWait) {
  auto neverSignalled = makeEvent(true, false);
  const struct {
    const char* name;
    std::function<std::uint32_t()> wait;
  } waits[] = {
      {"sleep, no object watched", [] { return sleepEx(kInfinite, true); }},
      {"wait for an object", [&] { return waitFor(*neverSignalled, kInfinite, true); }},
  };
  for (const auto& wait : waits) {
    SCOPED_TRACE(wait.name);
    auto timer = makeTimer();
    std::atomic<std::thread::id> armedOn;
    std::atomic<std::thread::id> ranOn;
    std::atomic<std::uint32_t> result = 0;
    auto thread = startThread([&] {
      armedOn = std::this_thread::get_id();
      if (timer->set(20 * kMilliseconds, [&] { ranOn = std::this_thread::get_id(); })) result = wait.wait();
    });
    ASSERT_EQ(waitFor(*thread, 5000), kWaitObject0);
    EXPECT_EQ(result, kWaitIoCompletion);
    EXPECT_EQ(ranOn.load(), armedOn.load());
  }
}

TEST(WaitableTimer, ArmingAgainReplacesTheRoutineAndCancelStopsIt) {
  // On the test's own thread, whose alertable side is made on first use.
  auto timer = makeTimer();
  std::vector<std::string> ran;
  ASSERT_TRUE(timer->set(10 * kMilliseconds, [&] { ran.push_back("first"); }));
  ASSERT_TRUE(timer->set(20 * kMilliseconds, [&] { ran.push_back("second"); }));
  EXPECT_EQ(sleepEx(kInfinite, true), kWaitIoCompletion);
  EXPECT_EQ(ran, std::vector<std::string>{"second"});

  ASSERT_TRUE(timer->set(10 * kMilliseconds, [&] { ran.push_back("cancelled"); }));
  ASSERT_TRUE(timer->cancel());
  EXPECT_EQ(sleepEx(100, true), 0u);
  EXPECT_EQ(ran, std::vector<std::string>{"second"});

  EXPECT_FALSE(timer->set(10000, [] {})) << "an absolute due time";
  EXPECT_EQ(lastError(), kErrorInvalidParameter);
}

TEST(WaitableTimer, DestroyedOnAnotherThreadWhileTheArmingThreadWaits) {
  auto timer = makeTimer();
  auto armed = makeEvent(true, false);
  std::atomic<bool> fired = false;
  std::atomic<std::uint32_t> result = 0;
  auto thread = startThread([&] {
    if (timer->set(100 * kMilliseconds, [&] { fired = true; }) && armed->set()) result = sleepEx(kInfinite, true);
  });
  ASSERT_EQ(waitFor(*armed, 5000), kWaitObject0);
  std::this_thread::sleep_for(20ms);  // inside its wait
  timer.reset();
  std::this_thread::sleep_for(200ms);  // past the due time
  EXPECT_EQ(waitFor(*thread, 0), kWaitTimeout) << "the wait goes on";
  ASSERT_TRUE(thread->queueCall([] {}));
  ASSERT_EQ(waitFor(*thread, 5000), kWaitObject0);
  EXPECT_EQ(result, kWaitIoCompletion);
  EXPECT_FALSE(fired);
}

}  // namespace
}  // namespace vorn::platform
