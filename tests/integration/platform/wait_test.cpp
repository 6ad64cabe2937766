// Threads, events, queued calls and waitable timers: who a signal wakes,
// what runs on which thread and when, and objects closed on one thread while
// another waits for them.
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
using Strings = std::vector<std::string>;

constexpr std::int64_t kMs = -10000;  // relative due time of 1 ms

std::unique_ptr<Thread> startThread(std::function<void()> routine) {
  std::unique_ptr<Thread> thread;
  EXPECT_EQ(createThread(std::move(routine), thread), kErrorSuccess);
  return thread;
}

std::unique_ptr<Event> makeEvent(bool manualReset, bool signalled) {
  std::unique_ptr<Event> event;
  EXPECT_EQ(createEvent(manualReset, signalled, false, event), kErrorSuccess);
  return event;
}

std::unique_ptr<WaitableTimer> makeTimer() {
  std::unique_ptr<WaitableTimer> timer;
  EXPECT_EQ(createWaitableTimer(true, timer), kErrorSuccess);
  return timer;
}

std::uint32_t waitFor(Waitable& object, std::uint32_t timeoutMs, bool alertable = false) {
  Waitable* objects[] = {&object};
  return waitForMultipleObjects(objects, timeoutMs, alertable);
}

TEST(Event, AutoResetWakesExactlyOneOfTwoWaitersManualResetBoth) {
  for (const auto& [manualReset, woken] : {std::pair{false, 1}, std::pair{true, 2}}) {
    SCOPED_TRACE(manualReset ? "manual reset" : "auto reset");
    auto event = makeEvent(manualReset, false);
    std::atomic<int> wokenCount = 0;
    auto first = startThread([&] { wokenCount += waitFor(*event, 300) == kWaitObject0 ? 1 : 0; });
    auto second = startThread([&] { wokenCount += waitFor(*event, 300) == kWaitObject0 ? 1 : 0; });
    ASSERT_TRUE(event->set());
    ASSERT_EQ(waitFor(*first, 5000), kWaitObject0);
    ASSERT_EQ(waitFor(*second, 5000), kWaitObject0);
    EXPECT_EQ(wokenCount, woken);
    EXPECT_EQ(waitFor(*event, 0), manualReset ? kWaitObject0 : kWaitTimeout);
  }
}

TEST(Event, AWaitTakesTheLowestSignalledObjectAndResetsOnlyIt) {
  auto unsignalled = makeEvent(false, false);
  auto first = makeEvent(false, true);
  auto second = makeEvent(false, true);
  Waitable* objects[] = {unsignalled.get(), first.get(), second.get()};
  EXPECT_EQ(waitForMultipleObjects(objects, 0, false), kWaitObject0 + 1);
  EXPECT_EQ(waitFor(*first, 0), kWaitTimeout);
  EXPECT_EQ(waitFor(*second, 0), kWaitObject0);
  EXPECT_EQ(waitFor(*second, 0), kWaitTimeout);
}

TEST(Event, ClosedWhileAnotherThreadWaitsForIt) {
  auto event = makeEvent(false, false);
  auto kick = makeEvent(false, false);
  auto waiting = makeEvent(true, false);
  std::atomic<std::uint32_t> result = 0;
  auto thread = startThread([&, held = event.get()] {
    Waitable* objects[] = {held, kick.get()};
    if (waiting->set()) result = waitForMultipleObjects(objects, 5000, false);
  });
  ASSERT_EQ(waitFor(*waiting, 5000), kWaitObject0);
  std::this_thread::sleep_for(20ms);  // inside its wait
  event.reset();
  // Were the descriptor closed under the wait, this event would take its number.
  auto newcomer = makeEvent(false, true);
  ASSERT_TRUE(kick->set());
  ASSERT_EQ(waitFor(*thread, 5000), kWaitObject0);
  EXPECT_EQ(result, kWaitObject0 + 1);
  EXPECT_EQ(waitFor(*newcomer, 0), kWaitObject0) << "taken by the other thread's wait";
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
  Strings order;
  std::size_t ranInPlainWait = 99;
  std::uint32_t alertableWait = 0;
  auto thread = startThread([&] {
    if (waitFor(*go, 5000) == kWaitObject0) ranInPlainWait = order.size();
    alertableWait = waitFor(*go, 0, true);  // the event is signalled too
  });
  ASSERT_TRUE(thread->queueCall([&] { order.push_back("first"); }));
  ASSERT_TRUE(thread->queueCall([&] { order.push_back("second"); }));
  ASSERT_TRUE(go->set());
  ASSERT_EQ(waitFor(*thread, 5000), kWaitObject0);
  EXPECT_EQ(ranInPlainWait, 0u);
  EXPECT_EQ(alertableWait, kWaitIoCompletion);
  EXPECT_EQ(order, (Strings{"first", "second"}));
}

TEST(WaitableTimer, RoutineRunsOnTheArmingThreadDuringItsAlertableWait) {
  auto neverSignalled = makeEvent(true, false);
  const std::function<std::uint32_t()> waits[] = {
      [] { return sleepEx(kInfinite, true); },  // no object watched
      [&] { return waitFor(*neverSignalled, kInfinite, true); },
  };
  for (const auto& wait : waits) {
    auto timer = makeTimer();
    std::atomic<std::thread::id> armedOn;
    std::atomic<std::thread::id> ranOn;
    std::atomic<std::uint32_t> result = 0;
    auto thread = startThread([&] {
      armedOn = std::this_thread::get_id();
      if (timer->set(20 * kMs, [&] { ranOn = std::this_thread::get_id(); })) result = wait();
    });
    ASSERT_EQ(waitFor(*thread, 5000), kWaitObject0);
    EXPECT_EQ(result, kWaitIoCompletion);
    EXPECT_EQ(ranOn.load(), armedOn.load());
  }
}

TEST(WaitableTimer, ArmingAgainReplacesTheRoutineAndCancelStopsIt) {
  // On the test's own thread, whose alertable side is made on first use.
  auto timer = makeTimer();
  Strings ran;
  ASSERT_TRUE(timer->set(10 * kMs, [&] { ran.push_back("first"); }));
  ASSERT_TRUE(timer->set(20 * kMs, [&] { ran.push_back("second"); }));
  EXPECT_EQ(sleepEx(kInfinite, true), kWaitIoCompletion);
  ASSERT_TRUE(timer->set(10 * kMs, [&] { ran.push_back("cancelled"); }));
  ASSERT_TRUE(timer->cancel());
  EXPECT_EQ(sleepEx(100, true), 0u);
  EXPECT_EQ(ran, Strings{"second"});
}

TEST(WaitableTimer, DestroyedOnAnotherThreadWhileTheArmingThreadWaits) {
  auto timer = makeTimer();
  auto armed = makeEvent(true, false);
  std::atomic<bool> fired = false;
  std::atomic<std::uint32_t> result = 0;
  auto thread = startThread([&] {
    if (timer->set(100 * kMs, [&] { fired = true; }) && armed->set()) result = sleepEx(kInfinite, true);
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
