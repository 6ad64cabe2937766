// Message-mode named pipes on Windows: a server instance on a thread of its
// own, the client's one-call exchange.
#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/named_pipe.h"
#include "platform/process.h"
#include "platform/thread.h"
#include "platform/wait.h"

namespace vorn::platform {
namespace {

constexpr std::uint32_t kErrorPipeConnected = 535;

std::span<const std::uint8_t> bytesOf(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

class Win32NamedPipeTest : public ::testing::Test {
 protected:
  void TearDown() override { joinServer(); }

  void joinServer() {
    if (!server_) return;
    Waitable* objects[] = {server_.get()};
    EXPECT_EQ(waitForMultipleObjects(objects, 10000, false), kWaitObject0);
    server_.reset();
  }

  // Runs `serve` on a thread of its own with a fresh instance of the pipe.
  void startServer(std::function<void(NamedPipe&)> serve) {
    ASSERT_EQ(createNamedPipe(name_, limits_, pipe_), 0u);
    ASSERT_EQ(createThread([this, serve] { serve(*pipe_); }, server_), 0u);
  }

  std::string name_ = "vorn-test-" + std::to_string(currentProcessId()) + "-" +
                      ::testing::UnitTest::GetInstance()->current_test_info()->name();
  NamedPipeLimits limits_{1, 4096, 4096, 300};
  std::unique_ptr<NamedPipe> pipe_;
  std::unique_ptr<Thread> server_;
};

TEST_F(Win32NamedPipeTest, LongMessagesAreReportedNotCut) {
  std::vector<std::uint32_t> codes;
  std::string received;
  startServer([&](NamedPipe& pipe) {
    const std::uint32_t connected = pipe.connect();
    codes.push_back(connected == kErrorPipeConnected ? 0 : connected);  // the client may come first
    std::array<std::uint8_t, 8> head{};
    std::size_t got = 0;
    codes.push_back(pipe.read(head, got));
    received.assign(head.begin(), head.begin() + static_cast<std::ptrdiff_t>(got));
    std::array<std::uint8_t, 64> rest{};
    codes.push_back(pipe.read(rest, got));
    received.append(rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(got));
    std::size_t written = 0;
    codes.push_back(pipe.write(bytesOf("a reply longer than the client wants"), written));
    pipe.flush();  // 0, or 109 once the client has read its part and gone
    codes.push_back(pipe.disconnect());
  });
  std::array<std::uint8_t, 7> reply{};
  std::size_t got = 0;
  EXPECT_EQ(callNamedPipe(name_, bytesOf("a request of 25 bytes...."), reply, got, 5000), kErrorMoreData);
  EXPECT_EQ(got, reply.size());
  EXPECT_EQ(std::string(reply.begin(), reply.end()), "a reply");
  joinServer();
  EXPECT_EQ(codes, (std::vector<std::uint32_t>{0, kErrorMoreData, 0, 0, 0}));
  EXPECT_EQ(received, "a request of 25 bytes....");
}

TEST_F(Win32NamedPipeTest, ServerReadWaitsNoLongerThanTheDefaultTimeout) {
  std::uint32_t readCode = 0;
  startServer([&](NamedPipe& pipe) {
    pipe.connect();
    std::array<std::uint8_t, 8> buffer{};
    std::size_t got = 0;
    readCode = pipe.read(buffer, got);
    pipe.disconnect();
  });
  // A client that connects and says nothing.
  const std::string path = "\\\\.\\pipe\\" + name_;
  HANDLE client = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 100 && client == INVALID_HANDLE_VALUE; ++attempt) {
    client = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (client == INVALID_HANDLE_VALUE) ::Sleep(10);
  }
  ASSERT_NE(client, INVALID_HANDLE_VALUE);
  joinServer();
  ::CloseHandle(client);
  EXPECT_EQ(readCode, kErrorSemTimeout);
}

TEST_F(Win32NamedPipeTest, MissingAndBusyPipesGiveWindowsCodes) {
  std::array<std::uint8_t, 8> reply{};
  std::size_t got = 0;
  EXPECT_EQ(callNamedPipe(name_, bytesOf("x"), reply, got, 100), kErrorFileNotFound);
  EXPECT_EQ(lastError(), kErrorFileNotFound);
  ASSERT_EQ(createNamedPipe(name_, limits_, pipe_), 0u);
  std::unique_ptr<NamedPipe> second;
  EXPECT_EQ(createNamedPipe(name_, limits_, second), kErrorPipeBusy);
  EXPECT_EQ(second, nullptr);
}

}  // namespace
}  // namespace vorn::platform
