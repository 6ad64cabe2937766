// vornhost's session logic against the real termlink component.
#include <gtest/gtest.h>

#include <sstream>

#include "tests/integration/termlink/link_test_support.h"
#include "tools/vornhost/host_session.h"

namespace vorn {
namespace {

using test::LoopRunner;
using test::RecordingReceiver;
using test::TempRoot;
using Bytes = std::vector<std::uint8_t>;

struct SessionRun {
  vornhost::HostTotals totals;
  std::string output;
  std::vector<std::string> agentEvents;
  std::vector<Bytes> messages;
};

// Serves one agent with `args` (a pipe link) while a termlink component on
// this thread answers every print message with `reply` (none when empty).
SessionRun serve(std::vector<std::string_view> args, const std::vector<vornhost::LoadedItem>& items, Bytes reply,
                 std::size_t agentEvents) {
  std::string error;
  args.insert(args.begin(), {"--pipe", "7", "--ack-timeout", "2"});
  const auto options = vornhost::ParseHostOptions(args, error);
  EXPECT_TRUE(options) << error;
  std::unique_ptr<platform::StreamListener> listener;
  EXPECT_EQ(platform::listenLocal("termlink-7", listener), 0u);

  SessionRun run;
  std::ostringstream out;
  {
    std::thread host([&] {
      std::unique_ptr<platform::StreamSocket> peer;
      while (listener->accept(peer) == platform::kWsaEWouldBlock)
        platform::waitReady(*listener, 5000);
      if (peer) vornhost::ServeAgent(std::move(peer), *options, items, run.totals, out);
    });
    LoopRunner runner;
    termlink::TermLinkFactory factory(runner.loop());
    std::unique_ptr<HostLink> link;
    factory.create(link);
    RecordingReceiver receiver(runner.loop(), agentEvents);
    receiver.onMessage = [&](const Variant&) {
      if (!reply.empty()) link->WriteMessage(Variant{kVtByteArray, reply});
    };
    std::uint32_t cookie = 0;
    link->Advise(receiver, cookie);
    EXPECT_EQ(link->Connect(R"(Profile="p",Server="localhost",CommType="pipe",Client="bob",Location="L1",Port="7")",
                            1, 3, 0, "PRT", 2, "        "),
              platform::kSOk);
    EXPECT_TRUE(runner.run());
    link.reset();
    host.join();
    run.agentEvents = receiver.events;
    run.messages = receiver.messages;
  }
  run.output = out.str();
  return run;
}

vornhost::LoadedItem report(std::size_t size, std::size_t maxMessage) {
  Bytes data(size, 'x');
  data[0] = 0x0C;
  return {vornhost::SendItem::Kind::report, "rep", vornhost::WrapReport(data, "F1", "rep", maxMessage)};
}

TEST(VornhostSession, SendsAReportAndCountsRightAcknowledgements) {
  TempRoot root;
  const auto item = report(500, 200);
  const auto run = serve({"--terminate", "2,0"}, {item}, {1, 0, 0, 0, 0, 0}, 1 + item.messages.size() + 1);
  EXPECT_EQ(run.totals.reports, 1u);
  EXPECT_EQ(run.totals.messages, item.messages.size());
  EXPECT_EQ(run.totals.rightAcks, item.messages.size());
  EXPECT_EQ(run.totals.wrongAcks + run.totals.missingAcks, 0u);
  EXPECT_EQ(run.messages, item.messages);
  EXPECT_EQ(run.agentEvents.back(), "terminate 2 00000000");
  EXPECT_NE(run.output.find("attach connect-string=Profile=\"p\""), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("attach forms=[        ]"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("connect-result code=0 detail=0 (accepted)"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("terminate sent reason=2 detail=0"), std::string::npos) << run.output;
}

TEST(VornhostSession, WrongAcknowledgementIsCountedAndReported) {
  TempRoot root;
  const auto item = report(100, 8208);
  const auto run = serve({"--idle", "--terminate", "1"}, {item}, {1, 0, 0, 0, 0, 1}, 4);
  EXPECT_EQ(run.totals.wrongAcks, 1u);
  EXPECT_EQ(run.totals.rightAcks, 0u);
  EXPECT_NE(run.output.find("ack wrong: message 1 of rep: got 6 bytes [01 00 00 00 00 01]"), std::string::npos)
      << run.output;
  EXPECT_EQ(run.agentEvents[2], "idle");
}

TEST(VornhostSession, RejectsTheChosenUserWithoutSendingReports) {
  TempRoot root;
  const auto run = serve({"--reject-user", "BOB"}, {report(100, 8208)}, {1, 0, 0, 0, 0, 0}, 1);
  EXPECT_EQ(run.agentEvents, std::vector<std::string>{"connect-result 72 00000000 0 0"});
  EXPECT_EQ(run.totals.messages, 0u);
  EXPECT_NE(run.output.find("connect-result code=72 detail=0 (rejected)"), std::string::npos) << run.output;
}

TEST(VornhostSession, MissingAcknowledgementEndsTheSession) {
  TempRoot root;
  // The agent's side answers nothing (an empty reply is not sent).
  const auto run = serve({"--ack-timeout", "0.3"}, {report(100, 8208), report(100, 8208)}, {}, 3);
  EXPECT_EQ(run.totals.missingAcks, 1u);
  EXPECT_EQ(run.agentEvents.back(), "terminate -1 80082746");
  EXPECT_EQ(run.totals.messages, 1u);
}

}  // namespace
}  // namespace vorn
