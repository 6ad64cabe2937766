#include "platform/named_pipe.h"

#include "platform/error.h"
#include "platform/posix/unique_fd.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <thread>

namespace vorn::platform {
namespace {

using posix::UniqueFd;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

Bytes bytes(std::string_view text) { return Bytes(text.begin(), text.end()); }

NamedPipeLimits limits(std::uint32_t instances = 1, std::uint32_t timeoutMs = 5000) {
  return {instances, 25576, 25576, timeoutMs};
}

std::unique_ptr<NamedPipe> makePipe(std::string_view name, const NamedPipeLimits& pipeLimits = limits()) {
  std::unique_ptr<NamedPipe> pipe;
  EXPECT_EQ(createNamedPipe(name, pipeLimits, pipe), 0u);
  return pipe;
}

// What one server pass saw: connect, read one message, answer it, flush.
struct Served {
  std::uint32_t readResult = 0;
  Bytes request;
  std::uint32_t writeResult = 0;
  std::uint32_t flushResult = 0;
};

// Serves `clients` clients on `pipe` in a thread, answering each with
// answer(request), as the print service's pipe threads do.
std::thread serve(NamedPipe& pipe, int clients, std::size_t bufferSize, std::vector<Served>& served,
                  std::function<Bytes(const Bytes&)> answer) {
  return std::thread([&pipe, clients, bufferSize, &served, answer] {
    for (int i = 0; i < clients; ++i) {
      Served pass;
      if (pipe.connect() != 0) return;
      Bytes buffer(bufferSize);
      std::size_t got = 0;
      pass.readResult = pipe.read(buffer, got);
      pass.request.assign(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(got));
      const Bytes reply = answer(pass.request);
      std::size_t written = 0;
      pass.writeResult = pipe.write(reply, written);
      if (pass.writeResult == 0) pass.flushResult = pipe.flush();
      pipe.disconnect();
      served.push_back(pass);
    }
  });
}

std::uint32_t call(std::string_view name, std::string_view request, std::size_t replySize, Bytes& reply,
                   std::uint32_t timeoutMs = 5000) {
  reply.assign(replySize, 0);
  std::size_t got = 0;
  const std::uint32_t result = callNamedPipe(name, bytes(request), reply, got, timeoutMs);
  reply.resize(got);
  return result;
}

// A raw client or listener on the socket file of pipe `name`, as another
// process would have it.
UniqueFd rawSocket(const std::filesystem::path& root, std::string_view name, bool listen) {
  UniqueFd fd(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0));
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string path = (root / "pipe" / name).string();
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const auto* generic = reinterpret_cast<const sockaddr*>(&address);
  if (listen) {
    std::filesystem::create_directories(root / "pipe");
    EXPECT_EQ(::bind(fd.get(), generic, sizeof address), 0);
    EXPECT_EQ(::listen(fd.get(), 4), 0);
  } else {
    EXPECT_EQ(::connect(fd.get(), generic, sizeof address), 0);
  }
  return fd;
}

TEST(NamedPipe, RequestAndReplyRoundTripAndTheSocketLivesWithItsInstances) {
  test::TempRoot root;
  auto pipe = makePipe("echo");
  struct stat info {};
  ASSERT_EQ(::stat((root.path() / "pipe" / "echo").c_str(), &info), 0);
  EXPECT_TRUE(S_ISSOCK(info.st_mode));
  EXPECT_EQ(info.st_mode & 0777, 0666u);

  std::vector<Served> served;
  auto server = serve(*pipe, 2, 64, served,
                      [](const Bytes& request) { return bytes("re:" + std::string(request.begin(), request.end())); });
  Bytes reply;
  EXPECT_EQ(call("echo", "one", 64, reply), 0u);
  EXPECT_EQ(reply, bytes("re:one"));
  EXPECT_EQ(call("echo", "two", 64, reply), 0u);
  EXPECT_EQ(reply, bytes("re:two"));
  server.join();
  ASSERT_EQ(served.size(), 2u);
  EXPECT_EQ(served[1].flushResult, 0u);

  pipe.reset();
  EXPECT_FALSE(std::filesystem::exists(root.path() / "pipe" / "echo"));
}

TEST(NamedPipe, LongerMessagesAreMoreDataAndNeverPassedOnAsWhole) {
  test::TempRoot root;
  auto pipe = makePipe("small");
  std::vector<Served> served;
  auto server = serve(*pipe, 1, 8, served, [](const Bytes&) { return bytes("0123456789"); });
  Bytes reply;
  EXPECT_EQ(call("small", "twelve bytes", 4, reply), kErrorMoreData);
  EXPECT_EQ(reply, bytes("0123"));
  EXPECT_EQ(lastError(), kErrorMoreData);
  server.join();
  ASSERT_EQ(served.size(), 1u);
  EXPECT_EQ(served[0].readResult, kErrorMoreData);
  EXPECT_EQ(served[0].request, bytes("twelve b"));
}

TEST(NamedPipe, AClientThatVanishesBeforeTheReplyDoesNotEndTheServer) {
  test::TempRoot root;
  struct sigaction defaultAction {};
  defaultAction.sa_handler = SIG_DFL;
  struct sigaction previous {};
  ASSERT_EQ(::sigaction(SIGPIPE, &defaultAction, &previous), 0);  // a SIGPIPE would end this test

  auto pipe = makePipe("vanish");
  {
    UniqueFd client = rawSocket(root.path(), "vanish", false);
    ASSERT_EQ(::send(client.get(), "ask", 3, 0), 3);
  }  // gone before the server even takes it
  std::vector<Served> served;
  auto server = serve(*pipe, 2, 64, served, [](const Bytes&) { return bytes("answer"); });
  Bytes reply;
  EXPECT_EQ(call("vanish", "ask again", 64, reply), 0u);
  EXPECT_EQ(reply, bytes("answer"));
  server.join();
  ASSERT_EQ(served.size(), 2u);
  EXPECT_EQ(served[0].readResult, 0u);
  EXPECT_EQ(served[0].writeResult, kErrorNoData);
  ::sigaction(SIGPIPE, &previous, nullptr);
}

TEST(NamedPipe, AMissingOrDeadPipeIsFileNotFound) {
  test::TempRoot root;
  Bytes reply;
  EXPECT_EQ(call("nothing", "x", 16, reply), kErrorFileNotFound);  // not even the pipe folder
  { auto other = makePipe("other"); }
  EXPECT_EQ(call("nothing", "x", 16, reply), kErrorFileNotFound);
  { UniqueFd dead = rawSocket(root.path(), "dead", true); }  // its file stays, nobody listens
  EXPECT_EQ(call("dead", "x", 16, reply), kErrorFileNotFound);
  EXPECT_EQ(lastError(), kErrorFileNotFound);
}

TEST(NamedPipe, ASilentClientIsDroppedAfterTheDefaultTimeout) {
  test::TempRoot root;
  auto pipe = makePipe("silent", limits(1, 150));
  std::vector<Served> served;
  auto server = serve(*pipe, 1, 64, served, [](const Bytes&) { return bytes("late"); });
  UniqueFd client = rawSocket(root.path(), "silent", false);
  const auto started = Clock::now();
  server.join();  // the read times out, the answer is never read, so the flush times out too
  const auto took = Clock::now() - started;
  ASSERT_EQ(served.size(), 1u);
  EXPECT_EQ(served[0].readResult, kErrorSemTimeout);
  EXPECT_EQ(served[0].flushResult, kErrorSemTimeout);
  EXPECT_GE(took, std::chrono::milliseconds(290));
  EXPECT_LT(took, std::chrono::seconds(3));

  char buffer[16];
  EXPECT_EQ(::recv(client.get(), buffer, sizeof buffer, 0), 4);  // the answer, then the end
  EXPECT_EQ(::recv(client.get(), buffer, sizeof buffer, 0), 0);
}

TEST(NamedPipe, ACallThatIsNeverAnsweredTimesOut) {
  test::TempRoot root;
  auto pipe = makePipe("busy");  // an instance, but nobody takes the call
  Bytes reply;
  const auto started = Clock::now();
  EXPECT_EQ(call("busy", "x", 16, reply, 150), kErrorSemTimeout);
  EXPECT_GE(Clock::now() - started, std::chrono::milliseconds(150));
}

TEST(NamedPipe, InstancesBeyondTheLimitAreBusy) {
  test::TempRoot root;
  std::vector<std::unique_ptr<NamedPipe>> pipes;
  for (int i = 0; i < 10; ++i) pipes.push_back(makePipe("ten", limits(10)));
  std::unique_ptr<NamedPipe> eleventh;
  EXPECT_EQ(createNamedPipe("ten", limits(10), eleventh), kErrorPipeBusy);
  EXPECT_EQ(lastError(), kErrorPipeBusy);
  pipes.pop_back();
  EXPECT_EQ(createNamedPipe("ten", limits(10), eleventh), 0u);
}

TEST(NamedPipe, AStaleSocketIsReplacedAndAnotherProcesssLiveOneRefused) {
  test::TempRoot root;
  { UniqueFd stale = rawSocket(root.path(), "stale", true); }
  EXPECT_NE(makePipe("stale"), nullptr);

  UniqueFd foreign = rawSocket(root.path(), "taken", true);
  std::unique_ptr<NamedPipe> pipe;
  EXPECT_EQ(createNamedPipe("taken", limits(), pipe), kErrorAccessDenied);
}

TEST(NamedPipe, ARootDeeperThanASocketAddressStillWorks) {
  test::TempRoot root;
  const std::filesystem::path deep = root.path() / std::string(80, 'd') / std::string(80, 'e');
  std::filesystem::create_directories(deep);
  ASSERT_EQ(::setenv("VORNPRINT_ROOT", deep.c_str(), 1), 0);  // TempRoot restores it
  auto pipe = makePipe("deep");
  ASSERT_NE(pipe, nullptr);
  std::vector<Served> served;
  auto server = serve(*pipe, 1, 64, served, [](const Bytes& request) { return request; });
  Bytes reply;
  EXPECT_EQ(call("deep", "far down", 64, reply), 0u);
  EXPECT_EQ(reply, bytes("far down"));
  server.join();
  EXPECT_TRUE(std::filesystem::exists(deep / "pipe" / "deep"));
}

}  // namespace
}  // namespace vorn::platform
