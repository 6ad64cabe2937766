// The local stream endpoint's named-pipe streams when the thread that started
// their reads and writes has ended: Windows cancels a thread's pending I/O
// when it exits, which a stream used from several threads must survive.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/error.h"
#include "platform/process.h"
#include "platform/socket.h"

namespace vorn::platform {
namespace {

constexpr int kWaitMs = 5000;

std::uint32_t acceptOne(StreamListener& listener, std::unique_ptr<StreamSocket>& peer) {
  for (;;) {
    const std::uint32_t error = listener.accept(peer);
    if (error != kWsaEWouldBlock) return error;
    if (waitReady(listener, kWaitMs) == 0) return kWsaETimedOut;
  }
}

// Reads exactly `size` bytes, waiting for each part, while the sender's end
// is asked for room now and then (as a loop watching it would).
std::uint32_t receiveAll(StreamSocket& socket, std::size_t size, std::vector<std::uint8_t>& data,
                         StreamSocket& sender) {
  std::vector<std::uint8_t> chunk(16 * 1024);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
  while (data.size() < size) {
    std::size_t got = 0;
    const std::uint32_t error = socket.receive(chunk, got);
    if (error == kWsaEWouldBlock) {
      if (std::chrono::steady_clock::now() > deadline) return kWsaETimedOut;
      waitReady(sender, kWritable, 0);
      waitReady(socket, kReadable, 10);
      continue;
    }
    if (error != 0) return error;
    if (got == 0) return kWsaEConnReset;
    data.insert(data.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(got));
  }
  return 0;
}

TEST(Win32PipeStream, ReadsAndWritesStartedByAThreadThatEndedGoOn) {
  const std::string name = "vorn-test-stream-" + std::to_string(currentProcessId());
  std::unique_ptr<StreamListener> listener;
  ASSERT_EQ(listenLocal(name, listener), 0u);

  // Both ends are made, and the server's writes queued, on a thread that then
  // ends with a read under way on each end and a write waiting for room.
  std::unique_ptr<StreamSocket> client;
  std::unique_ptr<StreamSocket> server;
  std::vector<std::uint8_t> written;
  std::uint32_t setup = 0;
  std::thread([&] {
    if ((setup = startLocalConnect(name, client)) != 0 || (setup = acceptOne(*listener, server)) != 0) return;
    std::vector<std::uint8_t> chunk(48 * 1024);
    for (std::size_t round = 0; round < 8; ++round) {
      for (std::size_t i = 0; i < chunk.size(); ++i) chunk[i] = static_cast<std::uint8_t>(i * 7 + round);
      std::size_t sent = 0;
      setup = server->send(chunk, sent);
      written.insert(written.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(sent));
      if (setup == kWsaEWouldBlock) setup = 0;
      if (setup != 0 || sent < chunk.size()) break;
    }
  }).join();
  ASSERT_EQ(setup, 0u);
  ASSERT_GT(written.size(), std::size_t{64} << 10);  // more than the pipe holds: a write was under way

  std::vector<std::uint8_t> received;
  EXPECT_EQ(receiveAll(*client, written.size(), received, *server), 0u);
  EXPECT_TRUE(received == written);

  const std::vector<std::uint8_t> reply = {'o', 'k'};
  std::size_t sent = 0;
  ASSERT_EQ(client->send(reply, sent), 0u);
  std::vector<std::uint8_t> got;
  EXPECT_EQ(receiveAll(*server, reply.size(), got, *client), 0u);
  EXPECT_EQ(got, reply);
}

}  // namespace
}  // namespace vorn::platform
