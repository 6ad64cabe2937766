// Events between threads: who a signal wakes, which object a wait takes,
// and an event closed while another thread waits for it.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "platform/error.h"
#include "platform/event.h"
#include "platform/thread.h"
#include "platform/wait.h"

namespace vorn::platform {
namespace {

using namespace std::chrono_literals;

std::unique_ptr<Event> makeEvent(bool manualReset, bool signalled) {
  std::unique_ptr<Event> event;
  EXPECT_EQ(createEvent(manualReset, signalled, false, event), kErrorSuccess);
  return event;
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
    std::unique_ptr<Thread> waiters[2];
    for (auto& waiter : waiters) {
      ASSERT_EQ(createThread([&] { wokenCount += waitFor(*event, 300) == kWaitObject0 ? 1 : 0; }, waiter),
                kErrorSuccess);
    }
    std::this_thread::sleep_for(30ms);
    ASSERT_TRUE(event->set());
    Waitable* both[] = {waiters[0].get(), waiters[1].get()};
    for (Waitable* waiter : both) ASSERT_EQ(waitFor(*waiter, 5000), kWaitObject0);
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
  ASSERT_TRUE(first->set());
  ASSERT_TRUE(first->reset());
  EXPECT_EQ(waitForMultipleObjects(objects, 20, false), kWaitTimeout);

  Waitable* tooMany[kMaximumWaitObjects + 1];
  std::fill(std::begin(tooMany), std::end(tooMany), first.get());
  EXPECT_EQ(waitForMultipleObjects(tooMany, 0, false), kWaitFailed);
  EXPECT_EQ(lastError(), kErrorInvalidParameter);
}

TEST(Event, ClosedWhileAnotherThreadWaitsForIt) {
  auto event = makeEvent(false, false);
  auto waiting = makeEvent(true, false);
  std::atomic<std::uint32_t> result = 0;
  std::unique_ptr<Thread> thread;
  ASSERT_EQ(createThread(
                [&, held = event.get()] {
                  if (waiting->set()) result = waitFor(*held, kInfinite, true);
                },
                thread),
            kErrorSuccess);
  ASSERT_EQ(waitFor(*waiting, 5000), kWaitObject0);
  std::this_thread::sleep_for(20ms);  // inside its wait
  event.reset();
  // A new signalled event would take the closed descriptor's number, were it
  // closed under the wait.
  auto newcomer = makeEvent(false, true);
  std::this_thread::sleep_for(20ms);
  ASSERT_TRUE(thread->queueCall([] {}));
  ASSERT_EQ(waitFor(*thread, 5000), kWaitObject0);
  EXPECT_EQ(result, kWaitIoCompletion);
  EXPECT_EQ(waitFor(*newcomer, 0), kWaitObject0) << "not taken by the other thread's wait";
}

}  // namespace
}  // namespace vorn::platform
