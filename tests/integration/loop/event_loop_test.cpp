// The event loop with the platform's real stream objects, on every platform:
// posted tasks, one-shot timers, events, and readiness of a connected pair of sockets, over TCP and
// over the local endpoint (a Unix socket on POSIX, a named pipe on Windows).
#include "platform/event_loop.h"

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/event.h"
#include "platform/socket.h"
#include "tests/support/test_support.h"

namespace vorn::platform {
namespace {

enum class Transport { tcp, local };

std::string transportName(const testing::TestParamInfo<Transport>& info) {
  return info.param == Transport::tcp ? "Tcp" : "Local";
}

constexpr std::string_view kEndpoint = "event-loop-test";

std::uint32_t listenOn(Transport transport, std::unique_ptr<StreamListener>& listener) {
  return transport == Transport::tcp ? listenTcp("127.0.0.1", 0, listener) : listenLocal(kEndpoint, listener);
}

std::uint32_t connectTo(Transport transport, StreamListener& listener, std::unique_ptr<StreamSocket>& socket) {
  if (transport == Transport::local) return startLocalConnect(kEndpoint, socket);
  std::vector<SocketAddress> addresses;
  if (const std::uint32_t error = resolveHost("127.0.0.1", listener.port(), addresses)) return error;
  return startConnect(addresses.front(), socket);
}

// Two connected platform stream sockets; `a` is the connecting side.
struct SocketPair {
  test::TempRoot root;
  std::unique_ptr<StreamSocket> a, b;
  explicit SocketPair(Transport transport) {
    std::unique_ptr<StreamListener> listener;
    if (listenOn(transport, listener) != 0 || connectTo(transport, *listener, a) != 0 ||
        waitReady(*listener, 5000) == 0 || listener->accept(b) != 0 || waitReady(*a, kWritable, 5000) == 0 ||
        a->connectStatus() != 0)
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

TEST(EventLoop, QuitFromAnotherThreadEndsRun) {
  auto loop = createEventLoop();
  std::thread quitter([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    loop->quit(9);
  });
  EXPECT_EQ(loop->run(), 9);
  quitter.join();
  // A loop made afterwards on the same thread is not ended by what is left.
  auto next = createEventLoop();
  next->post([&] { next->quit(4); });
  EXPECT_EQ(next->run(), 4);
}

class EventLoopStreams : public testing::TestWithParam<Transport> {};

TEST_P(EventLoopStreams, WatchedSocketReportsReadableAndHangUp) {
  auto loop = createEventLoop();
  SocketPair pair(GetParam());
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

TEST_P(EventLoopStreams, WritableInterestAndModify) {
  auto loop = createEventLoop();
  SocketPair pair(GetParam());
  int writableCalls = 0;
  EventLoop::WatchId id = 0;
  // The socket has been writable since before the watch: that is reported at once.
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

// Data that came while nobody asked for it is reported once somebody does.
TEST_P(EventLoopStreams, ReadableInterestAddedLaterSeesWaitingData) {
  auto loop = createEventLoop();
  SocketPair pair(GetParam());
  sendText(*pair.b, "early");
  ASSERT_NE(waitReady(*pair.a, kReadable, 5000), 0u);
  EventLoop::WatchId id = 0;
  std::string received;
  id = loop->watch(*pair.a, kWritable, [&](unsigned ready) {
    if (ready & kWritable) {
      loop->modify(id, 0);
      loop->post([&] { loop->modify(id, kReadable); });
      return;
    }
    std::uint8_t buffer[16];
    std::size_t n = 0;
    ASSERT_EQ(pair.a->receive(buffer, n), 0u);
    received.assign(buffer, buffer + n);
    loop->quit(0);
  });
  EXPECT_EQ(loop->run(), 0);
  EXPECT_EQ(received, "early");
}

// A reader that takes a little at a time is called again while data is left.
TEST_P(EventLoopStreams, ReadinessLastsWhileDataIsLeft) {
  auto loop = createEventLoop();
  SocketPair pair(GetParam());
  const std::string text(300, 'r');
  sendText(*pair.b, text);
  std::string received;
  loop->watch(*pair.a, kReadable, [&](unsigned) {
    std::uint8_t buffer[7];
    std::size_t n = 0;
    ASSERT_EQ(pair.a->receive(buffer, n), 0u);
    received.append(buffer, buffer + n);
    if (received.size() == text.size()) loop->quit(0);
  });
  EXPECT_EQ(loop->run(), 0);
  EXPECT_EQ(received, text);
}

TEST_P(EventLoopStreams, WatchedListenerReportsAWaitingConnection) {
  test::TempRoot root;
  auto loop = createEventLoop();
  std::unique_ptr<StreamListener> listener;
  ASSERT_EQ(listenOn(GetParam(), listener), 0u);
  std::unique_ptr<StreamSocket> client;
  std::unique_ptr<StreamSocket> accepted;
  loop->watch(*listener, [&](unsigned ready) {
    EXPECT_EQ(ready, kReadable);
    EXPECT_EQ(listener->accept(accepted), 0u);
    loop->quit(0);
  });
  loop->post([&] { ASSERT_EQ(connectTo(GetParam(), *listener, client), 0u); });
  EXPECT_EQ(loop->run(), 0);
  EXPECT_NE(accepted, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Transports, EventLoopStreams, testing::Values(Transport::tcp, Transport::local),
                         transportName);

}  // namespace
}  // namespace vorn::platform
