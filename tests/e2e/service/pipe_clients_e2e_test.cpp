// Clients that misbehave on the control pipe: gone at once, silent, or
// sending more than a message may hold. The pipe goes on serving spoolcmd,
// and the service's threads and descriptors stay bounded.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "common/pipe_protocol.h"
#include "platform/posix/unique_fd.h"
#include "service/service_event_log.h"
#include "tests/e2e/service/pipe_scenario.h"
#include "tests/support/pipe_bytes.h"

namespace vorn::e2e {
namespace {

using namespace std::chrono_literals;
using platform::posix::UniqueFd;

// g++ tells of AddressSanitizer with a macro, clang through __has_feature.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

UniqueFd connectToPipe(const std::filesystem::path& root) {
  UniqueFd socket(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0));
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string path = (root / "pipe" / "VornPrintService").string();
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  EXPECT_EQ(::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address), 0) << path;
  return socket;
}

std::vector<std::uint8_t> receive(int socket) {
  std::vector<std::uint8_t> reply(kPipeMessageSize);
  const ssize_t got = ::recv(socket, reply.data(), reply.size(), 0);
  reply.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return reply;
}

std::vector<std::uint8_t> errorReply(std::uint32_t code) {
  std::vector<std::uint8_t> reply(kPipeMessageSize);
  reply.resize(encodeErrorReply(reply, code, SystemErrorText(code)));
  return reply;
}

// The process's processor time so far, in clock ticks.
long processorTicks(const std::string& proc) {
  std::ifstream in(proc + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::istringstream stat(text.substr(text.rfind(')') + 2));
  std::string field;
  long ticks = 0;
  for (int i = 3; i <= 15 && stat >> field; ++i)
    if (i == 14 || i == 15) ticks += std::stol(field);  // utime, stime
  return ticks;
}

std::size_t entries(const std::string& folder) {
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++count;
  return count;
}

TEST(PipeClientsE2e, AbruptIdleAndOversizedClientsLeaveThePipeServing) {
  ServiceScenario scenario;
  startWithStubAgents(scenario, std::vector<test::ProfileSpec>{});
  const std::string empty = showListing(0, "");
  const std::string proc = "/proc/" + std::to_string(scenario.status()->pid);
  std::this_thread::sleep_for(300ms);  // the start-up's own thread has ended
  // One instance listens, on a thread of its own.
  const std::size_t threads = entries(proc + "/task") - 1;
  ASSERT_EQ(scenario.spoolcmd({"show"}).standardOutput, empty);

  // Gone before the request, and gone before the reply.
  for (int i = 0; i < 50; ++i) connectToPipe(scenario.root());
  const test::Bytes show = test::showRequest(SHOW_ALL, "", 0);
  for (int i = 0; i < 50; ++i) {
    UniqueFd client = connectToPipe(scenario.root());
    ASSERT_EQ(::send(client.get(), show.data(), show.size(), MSG_NOSIGNAL), static_cast<ssize_t>(show.size()));
  }
  EXPECT_EQ(scenario.spoolcmd({"show"}).standardOutput, empty);

  // Too long for the buffer: refused with the read's error, not served cut.
  {
    UniqueFd client = connectToPipe(scenario.root());
    std::vector<std::uint8_t> oversized(30000, 0);
    std::copy(show.begin(), show.end(), oversized.begin());
    ASSERT_EQ(::send(client.get(), oversized.data(), oversized.size(), MSG_NOSIGNAL), 30000);
    EXPECT_EQ(receive(client.get()), errorReply(234));
  }

  // Ten silent clients hold every instance until the pipe's time-out drops them.
  std::vector<UniqueFd> silent;
  for (int i = 0; i < 10; ++i) silent.push_back(connectToPipe(scenario.root()));
  ASSERT_TRUE(test::eventually([&] { return entries(proc + "/task") == threads + kPipeInstancesMax; }))
      << entries(proc + "/task") << " threads, expected " << threads << " + 10";
  std::this_thread::sleep_for(200ms);  // the last instance has taken its client
  const std::size_t descriptors = entries(proc + "/fd") - silent.size();
  const auto asked = std::chrono::steady_clock::now();
  EXPECT_EQ(scenario.spoolcmd({"show"}).standardOutput, empty);
  EXPECT_LT(std::chrono::steady_clock::now() - asked, 12s);
  for (const UniqueFd& client : silent) EXPECT_EQ(receive(client.get()), errorReply(121));
  silent.clear();

  // No instance more than ten, and nothing left open by a client.
  for (int i = 0; i < 50; ++i) connectToPipe(scenario.root());
  EXPECT_EQ(scenario.spoolcmd({"show"}).standardOutput, empty);
  EXPECT_EQ(entries(proc + "/task"), threads + kPipeInstancesMax);
  EXPECT_TRUE(test::eventually([&] { return entries(proc + "/fd") <= descriptors; }))
      << entries(proc + "/fd") << " descriptors, at most " << descriptors;

  // No descriptor to be had (nor for the event log): the pipe waits and
  // tries again, without spinning, and serves the waiting client once
  // descriptors are back. Not under the sanitizers, whose runtime in the
  // service needs descriptors of its own to start a thread.
  if (!kSanitized) {
    const pid_t service = scenario.status()->pid;
    rlimit saved{};
    ASSERT_EQ(::prlimit(service, RLIMIT_NOFILE, nullptr, &saved), 0);
    rlimit starved = saved;
    starved.rlim_cur = 3;  // only the standard streams' numbers
    ASSERT_EQ(::prlimit(service, RLIMIT_NOFILE, &starved, nullptr), 0);
    UniqueFd waiting = connectToPipe(scenario.root());
    ASSERT_EQ(::send(waiting.get(), show.data(), show.size(), MSG_NOSIGNAL), static_cast<ssize_t>(show.size()));
    std::this_thread::sleep_for(200ms);
    const long busyFrom = processorTicks(proc);
    std::this_thread::sleep_for(1s);
    EXPECT_LE(processorTicks(proc) - busyFrom, 10);
    std::uint8_t byte = 0;
    EXPECT_EQ(::recv(waiting.get(), &byte, 1, MSG_DONTWAIT | MSG_PEEK), -1);  // not served meanwhile
    ASSERT_EQ(::prlimit(service, RLIMIT_NOFILE, &saved, nullptr), 0);
    std::vector<std::uint8_t> none(kPipeMessageSize);
    none.resize(encodeListHeader(none, 0));
    EXPECT_EQ(receive(waiting.get()), none);
    EXPECT_EQ(scenario.spoolcmd({"show"}).standardOutput, empty);
  }
  EXPECT_EQ(scenario.spoolcmd({"stop"}).exitCode, 0);
}

}  // namespace
}  // namespace vorn::e2e
