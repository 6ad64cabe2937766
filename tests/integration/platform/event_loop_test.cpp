#include "platform/event_loop.h"

#include "platform/posix/unique_fd.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

namespace vorn::platform {
namespace {

using posix::UniqueFd;

struct SocketPair {
  UniqueFd a, b;
  SocketPair() {
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) throw std::runtime_error("socketpair");
    a.reset(fds[0]);
    b.reset(fds[1]);
  }
};

TEST(EventLoop, PostedTasksRunInOrderAndQuitEndsRunWithItsCode) {
  auto loop = createEventLoop();
  std::vector<int> order;
  loop->post([&] { order.push_back(1); });
  loop->post([&] {
    order.push_back(2);
    loop->post([&] {
      order.push_back(4);
      loop->quit(7);
    });
  });
  loop->post([&] { order.push_back(3); });
  EXPECT_EQ(loop->run(), 7);
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4}));
}

TEST(EventLoop, PostFromAnotherThreadWakesTheLoop) {
  auto loop = createEventLoop();
  std::thread poster([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    loop->post([&] { loop->quit(3); });
  });
  EXPECT_EQ(loop->run(), 3);
  poster.join();
}

TEST(EventLoop, WatchedSocketReportsReadableAndHangUp) {
  auto loop = createEventLoop();
  SocketPair pair;
  std::string received;
  int calls = 0;
  EventLoop::WatchId id = 0;
  id = loop->watch(pair.a.get(), kReadable, [&](unsigned ready) {
    ++calls;
    EXPECT_TRUE(ready & kReadable);
    char buffer[16];
    const ssize_t n = ::read(pair.a.get(), buffer, sizeof buffer);
    if (n > 0) {
      received.append(buffer, static_cast<std::size_t>(n));
      pair.b.reset();  // the peer hangs up next
    } else {
      loop->unwatch(id);  // from inside its own handler
      loop->quit(0);
    }
  });
  ASSERT_EQ(::write(pair.b.get(), "ping", 4), 4);
  EXPECT_EQ(loop->run(), 0);
  EXPECT_EQ(received, "ping");
  EXPECT_EQ(calls, 2);
}

TEST(EventLoop, WritableInterestAndModify) {
  auto loop = createEventLoop();
  SocketPair pair;
  int writableCalls = 0;
  EventLoop::WatchId id = 0;
  id = loop->watch(pair.a.get(), kWritable, [&](unsigned ready) {
    if (ready & kWritable) {
      ++writableCalls;
      loop->modify(id, kReadable);  // no more writable reports
      loop->post([&] { ASSERT_EQ(::write(pair.b.get(), "x", 1), 1); });
    } else {
      loop->quit(writableCalls);
    }
  });
  EXPECT_EQ(loop->run(), 1);
}

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
