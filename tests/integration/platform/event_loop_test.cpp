#include "platform/event_loop.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <stdexcept>
#include <string>
#include <thread>

#include "platform/event.h"
#include "platform/socket.h"
#include "tests/support/test_support.h"

namespace vorn::platform {
namespace {

constexpr std::string_view kEndpoint = "event-loop-test";

// Two connected platform stream sockets over a local endpoint of a fresh root.
struct SocketPair {
  test::TempRoot root;
  std::unique_ptr<StreamSocket> a, b;
  SocketPair() {
    std::unique_ptr<StreamListener> listener;
    if (listenLocal(kEndpoint, listener) != 0 || startLocalConnect(kEndpoint, a) != 0 ||
        waitReady(*listener, 5000) == 0 || listener->accept(b) != 0)
      throw std::runtime_error("no connected pair");
  }
};

void sendText(StreamSocket& socket, std::string_view text) {
  std::size_t sent = 0;
  ASSERT_EQ(socket.send({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}, sent), 0u);
  ASSERT_EQ(sent, text.size());
}

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

TEST(EventLoop, TimersFireOnceInDueOrderUnlessCancelled) {
  auto loop = createEventLoop();
  std::vector<std::string> fired;
  const auto started = std::chrono::steady_clock::now();
  loop->startTimer(40, [&] {
    fired.push_back("40");
    loop->quit(0);
  });
  loop->startTimer(10, [&] { fired.push_back("10"); });
  const auto cancelled = loop->startTimer(20, [&] { fired.push_back("20"); });
  loop->startTimer(5, [&] {
    fired.push_back("5");
    loop->unwatch(cancelled);
  });
  EXPECT_EQ(loop->run(), 0);
  EXPECT_EQ(fired, (std::vector<std::string>{"5", "10", "40"}));
  EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(40));
}

TEST(EventLoop, WatchedSocketReportsReadableAndHangUp) {
  auto loop = createEventLoop();
  SocketPair pair;
  std::string received;
  int calls = 0;
  EventLoop::WatchId id = 0;
  id = loop->watch(*pair.a, kReadable, [&](unsigned ready) {
    ++calls;
    EXPECT_TRUE(ready & kReadable);
    std::uint8_t buffer[16];
    std::size_t n = 0;
    ASSERT_EQ(pair.a->receive(buffer, n), 0u);
    if (n > 0) {
      received.append(buffer, buffer + n);
      pair.b.reset();  // the peer hangs up next
    } else {
      loop->unwatch(id);  // from inside its own handler
      loop->quit(0);
    }
  });
  sendText(*pair.b, "ping");
  EXPECT_EQ(loop->run(), 0);
  EXPECT_EQ(received, "ping");
  EXPECT_EQ(calls, 2);
}

TEST(EventLoop, WritableInterestAndModify) {
  auto loop = createEventLoop();
  SocketPair pair;
  int writableCalls = 0;
  EventLoop::WatchId id = 0;
  id = loop->watch(*pair.a, kWritable, [&](unsigned ready) {
    if (ready & kWritable) {
      ++writableCalls;
      loop->modify(id, kReadable);  // no more writable reports
      loop->post([&] { sendText(*pair.b, "x"); });
    } else {
      loop->quit(writableCalls);
    }
  });
  EXPECT_EQ(loop->run(), 1);
}

TEST(EventLoop, WatchedListenerReportsAWaitingConnection) {
  test::TempRoot root;
  auto loop = createEventLoop();
  std::unique_ptr<StreamListener> listener;
  ASSERT_EQ(listenLocal(kEndpoint, listener), 0u);
  std::unique_ptr<StreamSocket> client;
  std::unique_ptr<StreamSocket> accepted;
  loop->watch(*listener, [&](unsigned ready) {
    EXPECT_EQ(ready, kReadable);
    EXPECT_EQ(listener->accept(accepted), 0u);
    loop->quit(0);
  });
  loop->post([&] { ASSERT_EQ(startLocalConnect(kEndpoint, client), 0u); });
  EXPECT_EQ(loop->run(), 0);
  EXPECT_NE(accepted, nullptr);
}

TEST(EventLoop, WatchedEventRunsItsTaskOncePerSignalEvenAfterItIsClosed) {
  auto loop = createEventLoop();
  std::unique_ptr<Event> event;
  ASSERT_EQ(createEvent(false, false, false, event), 0u);
  int runs = 0;
  loop->watch(*event, [&] {
    if (++runs == 2) return loop->quit(5);
    // Signalled again from another thread, then closed: the loop holds what it watches.
    loop->post([&] {
      std::thread([&] { event->set(); }).join();
      event.reset();
    });
  });
  ASSERT_TRUE(event->set());
  EXPECT_EQ(loop->run(), 5);
  EXPECT_EQ(runs, 2);
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
