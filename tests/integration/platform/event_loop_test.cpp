// The POSIX event loop's termination requests: SIGTERM and SIGINT, and the
// signal mask it leaves as it found it. (Its tasks and streams are tested on
// every platform in tests/integration/loop.)
#include "platform/event_loop.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

namespace vorn::platform {
namespace {

TEST(EventLoop, TerminationSignalRunsTheRequestTask) {
  auto loop = createEventLoop();
  bool requested = false;
  loop->onTerminationRequest([&] {
    requested = true;
    loop->quit(0);
  });
  loop->post([] { ::kill(::getpid(), SIGTERM); });
  EXPECT_EQ(loop->run(), 0);
  EXPECT_TRUE(requested);
}

TEST(EventLoop, InterruptSignalAlsoRequestsTermination) {
  auto loop = createEventLoop();
  int requests = 0;
  loop->onTerminationRequest([&] {
    ++requests;
    loop->quit(5);
  });
  loop->post([] { ::kill(::getpid(), SIGINT); });
  EXPECT_EQ(loop->run(), 5);
  EXPECT_EQ(requests, 1);
}

TEST(EventLoop, SignalMaskIsRestoredWhenTheLoopGoes) {
  sigset_t before;
  ASSERT_EQ(::sigprocmask(SIG_SETMASK, nullptr, &before), 0);
  ASSERT_FALSE(sigismember(&before, SIGTERM));
  {
    auto loop = createEventLoop();
    loop->onTerminationRequest([] {});
    sigset_t during;
    ASSERT_EQ(::sigprocmask(SIG_SETMASK, nullptr, &during), 0);
    EXPECT_TRUE(sigismember(&during, SIGTERM));
  }
  sigset_t after;
  ASSERT_EQ(::sigprocmask(SIG_SETMASK, nullptr, &after), 0);
  EXPECT_FALSE(sigismember(&after, SIGTERM));
}

}  // namespace
}  // namespace vorn::platform
