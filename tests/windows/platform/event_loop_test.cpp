// The Windows event loop and stream objects against the system: the hidden
// window's termination messages, notifications of a socket no longer
// watched, and the named-pipe stream's emulated readiness.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stop_token>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/error.h"
#include "platform/event_loop.h"
#include "platform/process.h"
#include "platform/socket.h"

namespace vorn::platform {
namespace {

using Bytes = std::vector<std::uint8_t>;

// This thread's loop window: a message-only window of the loop's class (other
// test programs running meanwhile have theirs).
HWND loopWindow() {
  HWND window = nullptr;
  while ((window = ::FindWindowExA(HWND_MESSAGE, window, "VornPrintEventLoop", nullptr)) != nullptr)
    if (::GetWindowThreadProcessId(window, nullptr) == ::GetCurrentThreadId()) return window;
  return nullptr;
}

std::string uniqueName(std::string_view what) {
  return "vorn-loop-test-" + std::to_string(currentProcessId()) + "-" + std::string(what);
}

struct Pair {
  std::unique_ptr<StreamSocket> client, server;
};

// A connected pair over the named pipe `name`.
Pair pipePair(const std::string& name, std::unique_ptr<StreamListener>& listener) {
  Pair pair;
  if (listenLocal(name, listener) != 0 || startLocalConnect(name, pair.client) != 0 ||
      waitReady(*listener, 5000) == 0 || listener->accept(pair.server) != 0)
    throw std::runtime_error("no connected pipe pair");
  return pair;
}

// A connected pair over TCP on the loopback address.
Pair tcpPair() {
  Pair pair;
  std::unique_ptr<StreamListener> listener;
  std::vector<SocketAddress> addresses;
  if (listenTcp("127.0.0.1", 0, listener) != 0 || resolveHost("127.0.0.1", listener->port(), addresses) != 0 ||
      startConnect(addresses.front(), pair.client) != 0 || waitReady(*listener, 5000) == 0 ||
      listener->accept(pair.server) != 0 || waitReady(*pair.client, kWritable, 5000) == 0)
    throw std::runtime_error("no connected TCP pair");
  return pair;
}

std::size_t sendAll(StreamSocket& socket, const Bytes& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    std::size_t sent = 0;
    const std::uint32_t error = socket.send(std::span(data).subspan(done), sent);
    if (error == kWsaEWouldBlock) {
      if (waitReady(socket, kWritable, 5000) == 0) break;
      continue;
    }
    if (error != 0) break;
    done += sent;
  }
  return done;
}

TEST(Win32EventLoop, CloseAndEndSessionMessagesRequestTermination) {
  for (const UINT message : {UINT{WM_CLOSE}, UINT{WM_ENDSESSION}}) {
    auto loop = createEventLoop();
    int requests = 0;
    loop->onTerminationRequest([&] {
      ++requests;
      // The window outlives WM_CLOSE: the loop still runs what is posted.
      loop->post([&] { loop->quit(requests); });
    });
    const HWND window = loopWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(::PostMessageA(window, message, TRUE, 0));
    EXPECT_EQ(loop->run(), 1) << message;
    EXPECT_TRUE(::IsWindow(window));
  }
  EXPECT_EQ(loopWindow(), nullptr);  // each loop's window went with it
}

// Notifications still queued for a socket that is unwatched and closed reach
// nobody, also when a new socket gets the same handle value.
TEST(Win32EventLoop, NotificationsOfAnUnwatchedSocketAreDropped) {
  auto loop = createEventLoop();
  int staleCalls = 0;
  {
    Pair first = tcpPair();
    const EventLoop::WatchId stale = loop->watch(*first.client, kReadable | kWritable, [&](unsigned) { ++staleCalls; });
    Bytes data(16, 1);
    sendAll(*first.server, data);
    ASSERT_NE(waitReady(*first.client, kReadable, 5000), 0u);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // the notifications are posted meanwhile
    loop->unwatch(stale);
  }
  Pair second = tcpPair();
  std::string received;
  loop->watch(*second.client, kReadable, [&](unsigned) {
    std::uint8_t buffer[8];
    std::size_t got = 0;
    ASSERT_EQ(second.client->receive(buffer, got), 0u);
    received.assign(buffer, buffer + got);
    loop->quit(0);
  });
  sendAll(*second.server, Bytes{'n', 'e', 'w'});
  EXPECT_EQ(loop->run(), 0);
  EXPECT_EQ(received, "new");
  EXPECT_EQ(staleCalls, 0);
}

TEST(Win32LocalStream, NamesAndOwnersAsOnPosix) {
  const std::string name = uniqueName("names");
  std::unique_ptr<StreamSocket> socket;
  std::unique_ptr<StreamListener> listener;
  for (const std::string& bad : {std::string(), std::string(".."), std::string("a\\b"), std::string("a/b")}) {
    EXPECT_EQ(listenLocal(bad, listener), kErrorInvalidName) << bad;
    EXPECT_EQ(startLocalConnect(bad, socket), kErrorInvalidName) << bad;
  }
  EXPECT_EQ(listenLocal(std::string(300, 'x'), listener), kErrorFilenameExcedRange);
  EXPECT_EQ(startLocalConnect(name, socket), kErrorFileNotFound);

  ASSERT_EQ(listenLocal(name, listener), 0u);
  EXPECT_EQ(listener->description(), "\\\\.\\pipe\\" + name);
  EXPECT_EQ(listener->port(), 0);
  std::unique_ptr<StreamListener> second;
  EXPECT_EQ(listenLocal(name, second), kWsaEAddrInUse);
  listener.reset();
  EXPECT_EQ(startLocalConnect(name, socket), kErrorFileNotFound);
  EXPECT_EQ(listenLocal(name, second), 0u);
}

// Writes are queued up to a limit and go out while the loop runs, which
// waits for the writer's operations as for its reads; the writer is writable
// again once the reader has taken enough.
TEST(Win32LocalStream, WritesQueueUpToALimitAndDrainWhileTheLoopRuns) {
  std::unique_ptr<StreamListener> listener;
  Pair pair = pipePair(uniqueName("queue"), listener);
  Bytes chunk(16 * 1024, 0x5A);
  std::size_t queued = 0;
  for (int i = 0; i < 1000; ++i) {
    std::size_t sent = 0;
    const std::uint32_t error = pair.client->send(chunk, sent);
    if (error == kWsaEWouldBlock) break;
    ASSERT_EQ(error, 0u);
    queued += sent;
  }
  ASSERT_LT(queued, 1000u * chunk.size()) << "the queue never filled";
  EXPECT_EQ(waitReady(*pair.client, kWritable, 0), 0u);

  auto loop = createEventLoop();
  std::size_t received = 0;
  // The writer is watched as the host link watches its stream: for reading.
  loop->watch(*pair.client, kReadable, [](unsigned) {});
  loop->watch(*pair.server, kReadable, [&](unsigned) {
    Bytes buffer(8192);
    std::size_t got = 0;
    if (pair.server->receive(buffer, got) != 0 || got == 0) return loop->quit(1);
    received += got;
    if (received == queued) loop->quit(0);
  });
  std::jthread watchdog([&](std::stop_token stop) {
    std::mutex mutex;
    std::condition_variable_any stopped;
    std::unique_lock lock(mutex);
    if (!stopped.wait_for(lock, stop, std::chrono::seconds(5), [] { return false; }) && !stop.stop_requested())
      loop->quit(2);
  });
  EXPECT_EQ(loop->run(), 0);
  watchdog.request_stop();
  EXPECT_EQ(received, queued);
  EXPECT_EQ(waitReady(*pair.client, kWritable, 5000), kWritable);
}

// A closed end first delivers what it had queued; then its peer reads the
// end of the stream, and its writes fail as on a reset connection.
TEST(Win32LocalStream, ClosedEndDeliversItsQueueThenTheEnd) {
  std::unique_ptr<StreamListener> listener;
  Pair pair = pipePair(uniqueName("close"), listener);
  const Bytes data(200 * 1024, 0x33);
  std::size_t received = 0;
  bool ended = false;
  std::thread reader([&] {
    Bytes buffer(4096);
    while (waitReady(*pair.server, kReadable, 5000) != 0) {
      std::size_t got = 0;
      if (pair.server->receive(buffer, got) != 0) return;
      if (got == 0) {
        ended = true;
        return;
      }
      received += got;
    }
  });
  EXPECT_EQ(sendAll(*pair.client, data), data.size());
  pair.client.reset();
  reader.join();
  EXPECT_EQ(received, data.size());
  EXPECT_TRUE(ended);
  std::size_t sent = 0;
  std::uint32_t error = pair.server->send(Bytes{1}, sent);
  if (error == 0) {  // taken into the queue: the write under way reports it
    waitReady(*pair.server, kWritable, 5000);
    error = pair.server->send(Bytes{1}, sent);
  }
  EXPECT_EQ(error, kWsaEConnReset);
}

}  // namespace
}  // namespace vorn::platform
