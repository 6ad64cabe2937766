// Threads, queued calls, events, waits and waitable timers on Windows.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/error.h"
#include "platform/event.h"
#include "platform/thread.h"
#include "platform/wait.h"
#include "platform/waitable_timer.h"

namespace vorn::platform {
namespace {

constexpr std::uint32_t kPatienceMs = 10000;

std::unique_ptr<Event> makeEvent(bool manualReset, bool signalled) {
  std::unique_ptr<Event> event;
  EXPECT_EQ(createEvent(manualReset, signalled, false, event), 0u);
  return event;
}

TEST(Win32Waits, QueuedCallsWakeTheThreadsAlertableWaitInOrder) {
  std::vector<int> ran;
  std::thread::id ranOn;
  std::uint32_t sleepResult = 0;
  auto go = makeEvent(true, false);
  std::unique_ptr<Thread> worker;
  ASSERT_EQ(createThread(
                [&] {
                  Waitable* objects[] = {go.get()};
                  waitForMultipleObjects(objects, kPatienceMs, false);  // not alertable: the calls wait
                  sleepResult = sleepEx(kInfinite, true);
                },
                worker),
            0u);
  // Queued before the thread waits, even before it may have begun.
  ASSERT_TRUE(worker->queueCall([&] { ran.push_back(1); }));
  ASSERT_TRUE(worker->queueCall([&] {
    ran.push_back(2);
    ranOn = std::this_thread::get_id();
  }));
  ASSERT_TRUE(go->set());
  Waitable* objects[] = {worker.get()};
  ASSERT_EQ(waitForMultipleObjects(objects, kPatienceMs, false), kWaitObject0);
  EXPECT_EQ(ran, (std::vector<int>{1, 2}));
  EXPECT_NE(ranOn, std::this_thread::get_id());
  EXPECT_EQ(sleepResult, kWaitIoCompletion);
  EXPECT_FALSE(worker->queueCall([] {}));  // the thread has ended
}

TEST(Win32Waits, RefusesTooManyObjects) {
  auto event = makeEvent(true, true);
  std::vector<Waitable*> objects(kMaximumWaitObjects + 1, event.get());
  EXPECT_EQ(waitForMultipleObjects(objects, 0, false), kWaitFailed);
  EXPECT_EQ(lastError(), kErrorInvalidParameter);
  EXPECT_EQ(waitForMultipleObjects({}, 10, false), kWaitTimeout);  // nothing to wait for but the time
}

TEST(Win32Timers, RoutineRunsOnTheArmingThreadInItsAlertableWait) {
  std::unique_ptr<WaitableTimer> timer;
  ASSERT_EQ(createWaitableTimer(false, timer), 0u);
  std::vector<int> ran;
  std::thread::id ranOn;
  ASSERT_TRUE(timer->set(-10 * 10000, [&] { ran.push_back(1); }));
  ASSERT_TRUE(timer->set(-20 * 10000, [&] {  // arming again replaces the routine
    ran.push_back(2);
    ranOn = std::this_thread::get_id();
  }));
  EXPECT_EQ(sleepEx(kPatienceMs, true), kWaitIoCompletion);
  EXPECT_EQ(ran, (std::vector<int>{2}));
  EXPECT_EQ(ranOn, std::this_thread::get_id());

  ASSERT_TRUE(timer->set(-10 * 10000, [&] { ran.push_back(3); }));
  ASSERT_TRUE(timer->cancel());
  EXPECT_EQ(sleepEx(100, true), 0u);
  EXPECT_EQ(ran, (std::vector<int>{2}));

  EXPECT_FALSE(timer->set(10000, [] {}));  // an absolute time
  EXPECT_EQ(lastError(), kErrorInvalidParameter);
}

TEST(Win32Timers, ADestroyedTimersQueuedRoutineIsHarmless) {
  std::atomic<int> ran = 0;
  {
    std::unique_ptr<WaitableTimer> timer;
    ASSERT_EQ(createWaitableTimer(false, timer), 0u);
    ASSERT_TRUE(timer->set(-1, [&] { ++ran; }));
    sleepEx(50, false);  // due, and its routine queued, but not run
  }
  // The timer's state outlives it until the queued calls have run.
  while (sleepEx(0, true) == kWaitIoCompletion) {
  }
  EXPECT_EQ(ran, 0);
}

}  // namespace
}  // namespace vorn::platform
