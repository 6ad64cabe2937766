#include "termlink/term_link.h"

#include <gtest/gtest.h>

#include <atomic>

#include "tests/integration/termlink/link_test_support.h"

namespace vorn {
namespace {

using test::HostThread;
using test::LoopRunner;
using test::RecordingReceiver;
using test::TempRoot;
using Bytes = std::vector<std::uint8_t>;
using termlink::Frame;
using vornhost::FrameChannel;

constexpr int kWait = 5000;

std::string connectString(const std::string& commType, const std::string& server, std::int32_t port) {
  return "Profile=\"p1\",Server=\"" + server + "\",CommType=\"" + commType +
         "\",Online=\"ONL\",Client=\"u1\",Location=\"L1\",Direct=\"no\",Port=\"" + std::to_string(port) + "\"";
}

std::unique_ptr<platform::StreamListener> listenOnLoopback() {
  std::unique_ptr<platform::StreamListener> listener;
  EXPECT_EQ(platform::listenTcp("127.0.0.1", 0, listener), 0u);
  return listener;
}

// A port on which nothing listens: bound once, then released.
std::uint16_t closedPort() { return listenOnLoopback()->port(); }

termlink::AttachFrame expectAttach(FrameChannel& host) {
  Frame frame;
  EXPECT_EQ(host.receive(frame, kWait), FrameChannel::Result::frame);
  const auto* attach = std::get_if<termlink::AttachFrame>(&frame);
  EXPECT_NE(attach, nullptr);
  return attach ? *attach : termlink::AttachFrame{};
}

class TermLinkTest : public ::testing::Test {
 protected:
  TermLinkTest() : factory_(runner_.loop()) { EXPECT_EQ(factory_.create(link_), platform::kSOk); }

  platform::HRESULT connect(const std::string& text) {
    return link_->Connect(text, 1, 3, 0, "PRT1", 15, "AB  WXYZ");
  }

  TempRoot root_;
  LoopRunner runner_;
  termlink::TermLinkFactory factory_;
  std::unique_ptr<HostLink> link_;
};

TEST_F(TermLinkTest, FullConversationOverTcp) {
  auto listener = listenOnLoopback();
  const auto port = listener->port();
  termlink::AttachFrame seen;
  Frame ack;
  HostThread host(std::move(listener), [&](FrameChannel& h) {
    seen = expectAttach(h);
    h.send(termlink::ConnectResultFrame{0, 0, 5, 6}, kWait);
    h.send(termlink::PrintFrame{{1, 0, 0, 0, 'h', 'i'}}, kWait);
    h.receive(ack, kWait);
    h.send(termlink::IdleFrame{}, kWait);
    h.send(termlink::TerminateFrame{2, 9}, kWait);
  });

  RecordingReceiver receiver(runner_.loop(), 4);
  std::uint32_t cookie = 0;
  ASSERT_EQ(link_->Advise(receiver, cookie), platform::kSOk);
  receiver.onMessage = [&](const Variant&) {
    const Bytes reply = {1, 0, 0, 0, 0, 0};
    EXPECT_EQ(link_->WriteMessage(Variant{kVtByteArray, reply}), platform::kSOk);
  };
  ASSERT_EQ(connect(connectString("socket", "127.0.0.1", port)), platform::kSOk);
  ASSERT_TRUE(runner_.run());

  EXPECT_EQ(receiver.events,
            (std::vector<std::string>{"connect-result 0 00000000 5 6", "message 6", "idle", "terminate 2 00000009"}));
  EXPECT_EQ(receiver.messages[0], (Bytes{1, 0, 0, 0, 'h', 'i'}));
  EXPECT_EQ(seen.connectString, connectString("socket", "127.0.0.1", port));
  EXPECT_EQ(seen.arg1, 1);
  EXPECT_EQ(seen.arg2, 3);
  EXPECT_EQ(seen.arg3, 0);
  EXPECT_EQ(seen.printerId, "PRT1");
  EXPECT_EQ(seen.deviceFlags, 15);
  EXPECT_EQ(seen.forms, "AB  WXYZ");
  EXPECT_EQ(ack, Frame(termlink::WriteFrame{{1, 0, 0, 0, 0, 0}}));
  // After the host's Terminate the link is over.
  EXPECT_NE(link_->WriteMessage(Variant{kVtByteArray, {}}), platform::kSOk);
}

TEST_F(TermLinkTest, PipeLinkToThisMachine) {
  std::unique_ptr<platform::StreamListener> listener;
  ASSERT_EQ(platform::listenLocal("termlink-42", listener), 0u);
  HostThread host(std::move(listener), [&](FrameChannel& h) {
    expectAttach(h);
    h.send(termlink::ConnectResultFrame{72, 0, 0, 0}, kWait);
  });
  RecordingReceiver receiver(runner_.loop());
  std::uint32_t cookie = 0;
  link_->Advise(receiver, cookie);
  ASSERT_EQ(connect(connectString("pipe", "LocalHost", 42)), platform::kSOk);
  ASSERT_TRUE(runner_.run());
  EXPECT_EQ(receiver.events, std::vector<std::string>{"connect-result 72 00000000 0 0"});
}

TEST_F(TermLinkTest, ConnectFailuresArriveLaterAsOneConnectResult) {
  const struct {
    const char* what;
    std::string text;
    const char* expected;
  } cases[] = {
      {"refused", connectString("socket", "127.0.0.1", closedPort()), "connect-result -1 8008274D 0 0"},
      {"pipe to another machine", connectString("pipe", "otherhost", 42), "connect-result -1 80080035 0 0"},
      {"no pipe socket", connectString("pipe", "127.0.0.1", 43), "connect-result -1 80080035 0 0"},
      {"empty host name", connectString("socket", "", 5000), "connect-result -1 80082AF9 0 0"},
  };
  for (const auto& c : cases) {
    LoopRunner runner;
    termlink::TermLinkFactory factory(runner.loop());
    std::unique_ptr<HostLink> link;
    factory.create(link);
    RecordingReceiver receiver(runner.loop());
    std::uint32_t cookie = 0;
    link->Advise(receiver, cookie);
    ASSERT_EQ(link->Connect(c.text, 1, 3, 0, "P", 2, "        "), platform::kSOk) << c.what;
    EXPECT_TRUE(receiver.events.empty()) << c.what << ": delivered inside Connect";
    ASSERT_TRUE(runner.run()) << c.what;
    EXPECT_EQ(receiver.events, std::vector<std::string>{c.expected}) << c.what;
  }
}

TEST_F(TermLinkTest, ConnectValidatesItsArguments) {
  for (const std::string& text :
       {std::string(""), std::string("Server=\"h\",Port=\"1\""), connectString("serial", "h", 1),
        connectString("socket", "h", 0), connectString("socket", "h", 65536),
        std::string("Server=\"h\",CommType=\"socket\",Port=\"12x\""), std::string("Server=\"h\"CommType=\"x\"")}) {
    termlink::TermLinkFactory factory(runner_.loop());
    std::unique_ptr<HostLink> link;
    factory.create(link);
    EXPECT_EQ(link->Connect(text, 1, 3, 0, "P", 2, ""), platform::kEInvalidArg) << text;
  }
  ASSERT_EQ(connect(connectString("pipe", "otherhost", 1)), platform::kSOk);
  EXPECT_EQ(connect(connectString("pipe", "otherhost", 1)), platform::kEUnexpected);
}

TEST_F(TermLinkTest, WriteMessageWithoutConnectionFails) {
  const Bytes reply = {1, 0, 0, 0, 0, 0};
  EXPECT_TRUE(platform::failed(link_->WriteMessage(Variant{kVtByteArray, reply})));
  EXPECT_EQ(link_->Unadvise(12345), termlink::kNoConnection);
}

TEST_F(TermLinkTest, ConnectionLostAfterAcceptanceIsATerminate) {
  auto listener = listenOnLoopback();
  const auto port = listener->port();
  HostThread host(std::move(listener), [&](FrameChannel& h) {
    expectAttach(h);
    h.send(termlink::ConnectResultFrame{0, 0, 0, 0}, kWait);
  });  // the channel closes here
  RecordingReceiver receiver(runner_.loop(), 2);
  std::uint32_t cookie = 0;
  link_->Advise(receiver, cookie);
  ASSERT_EQ(connect(connectString("socket", "localhost", port)), platform::kSOk);
  ASSERT_TRUE(runner_.run());
  EXPECT_EQ(receiver.events, (std::vector<std::string>{"connect-result 0 00000000 0 0", "terminate -1 80082746"}));
}

TEST_F(TermLinkTest, ConnectionLostBeforeTheAnswerIsAConnectResult) {
  auto listener = listenOnLoopback();
  const auto port = listener->port();
  HostThread host(std::move(listener), [&](FrameChannel& h) { expectAttach(h); });
  RecordingReceiver receiver(runner_.loop());
  std::uint32_t cookie = 0;
  link_->Advise(receiver, cookie);
  ASSERT_EQ(connect(connectString("socket", "127.0.0.1", port)), platform::kSOk);
  ASSERT_TRUE(runner_.run());
  EXPECT_EQ(receiver.events, std::vector<std::string>{"connect-result -1 80082746 0 0"});
}

TEST_F(TermLinkTest, ProtocolErrorsEndTheLink) {
  const struct {
    const char* what;
    Bytes bytes;
  } cases[] = {
      {"oversize frame", {0x01, 0x00, 0x10, 0x00, 0x03}},
      {"unknown type", {0x01, 0x00, 0x00, 0x00, 0x09}},
      {"agent frame from the host", {0x05, 0, 0, 0, 0x04, 0, 0, 0, 0}},
      {"second answer", {0x11, 0, 0, 0, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    LoopRunner runner;
    termlink::TermLinkFactory factory(runner.loop());
    std::unique_ptr<HostLink> link;
    factory.create(link);
    auto listener = listenOnLoopback();
    const auto port = listener->port();
    HostThread host(std::move(listener), [&](FrameChannel& h) {
      expectAttach(h);
      h.send(termlink::ConnectResultFrame{0, 0, 0, 0}, kWait);
      h.sendBytes(c.bytes, kWait);
      Frame ignored;
      h.receive(ignored, kWait);  // until the agent's side closes
    });
    RecordingReceiver receiver(runner.loop(), 2);
    std::uint32_t cookie = 0;
    link->Advise(receiver, cookie);
    ASSERT_EQ(link->Connect(connectString("socket", "127.0.0.1", port), 1, 3, 0, "P", 2, ""), platform::kSOk);
    ASSERT_TRUE(runner.run()) << c.what;
    EXPECT_EQ(receiver.events, (std::vector<std::string>{"connect-result 0 00000000 0 0", "terminate -1 8007000D"}))
        << c.what;
    link.reset();  // closes the agent's side, so the host thread ends
  }
}

// Unsubscribes another receiver when the host's answer arrives.
struct Leaver final : HostLinkEvents {
  HostLink* link = nullptr;
  std::uint32_t cookieToEnd = 0;
  void ConnectResult(std::int32_t, std::int32_t, std::int32_t, std::int32_t) override {
    EXPECT_EQ(link->Unadvise(cookieToEnd), platform::kSOk);
  }
  void ReadMessage(const Variant&) override {}
  void PrinterIdle() override {}
  void Terminate(std::int32_t, std::int32_t) override {}
};

TEST_F(TermLinkTest, NoEventsAfterUnadvise) {
  auto listener = listenOnLoopback();
  const auto port = listener->port();
  HostThread host(std::move(listener), [&](FrameChannel& h) {
    expectAttach(h);
    h.send(termlink::ConnectResultFrame{0, 0, 0, 0}, kWait);
    h.send(termlink::IdleFrame{}, kWait);
    h.send(termlink::IdleFrame{}, kWait);
  });
  // The leaver hears the answer first and ends the first receiver's
  // subscription before that one is called for the same event.
  Leaver leaver;
  RecordingReceiver first(runner_.loop(), 100);
  RecordingReceiver second(runner_.loop(), 4);
  std::uint32_t leaverCookie = 0, firstCookie = 0, secondCookie = 0;
  link_->Advise(leaver, leaverCookie);
  link_->Advise(first, firstCookie);
  link_->Advise(second, secondCookie);
  EXPECT_NE(firstCookie, secondCookie);
  leaver.link = link_.get();
  leaver.cookieToEnd = firstCookie;
  ASSERT_EQ(connect(connectString("socket", "127.0.0.1", port)), platform::kSOk);
  ASSERT_TRUE(runner_.run());
  EXPECT_TRUE(first.events.empty());
  EXPECT_EQ(second.events,
            (std::vector<std::string>{"connect-result 0 00000000 0 0", "idle", "idle", "terminate -1 80082746"}));
}

TEST_F(TermLinkTest, ReleasingTheLinkInsideAnEventIsSafe) {
  auto listener = listenOnLoopback();
  const auto port = listener->port();
  HostThread host(std::move(listener), [&](FrameChannel& h) {
    expectAttach(h);
    // Both frames in one write: the second is already decoded when the first is delivered.
    std::vector<std::uint8_t> bytes;
    termlink::encodeFrame(termlink::ConnectResultFrame{0, 0, 0, 0}, bytes);
    termlink::encodeFrame(termlink::PrintFrame{{1, 0, 0, 0}}, bytes);
    termlink::encodeFrame(termlink::IdleFrame{}, bytes);
    h.sendBytes(bytes, kWait);
  });
  RecordingReceiver receiver(runner_.loop(), 2);
  receiver.onMessage = [&](const Variant&) {
    link_.reset();
    runner_.loop().post([&] { runner_.loop().quit(0); });
  };
  std::uint32_t cookie = 0;
  link_->Advise(receiver, cookie);
  ASSERT_EQ(connect(connectString("socket", "127.0.0.1", port)), platform::kSOk);
  ASSERT_TRUE(runner_.run());
  EXPECT_EQ(receiver.events, (std::vector<std::string>{"connect-result 0 00000000 0 0", "message 4"}));
}

// Acknowledges every message as the agent does; quits at the host's Terminate.
struct Acknowledger final : HostLinkEvents {
  Acknowledger(HostLink& link, platform::EventLoop& loop) : link(link), loop(loop) {}
  void ConnectResult(std::int32_t, std::int32_t, std::int32_t, std::int32_t) override {}
  void ReadMessage(const Variant&) override {
    ++messages;
    const Bytes ack = {1, 0, 0, 0, 0, 0};
    if (link.WriteMessage(Variant{kVtByteArray, ack}) != platform::kSOk) ++refusedAcks;
  }
  void PrinterIdle() override {}
  void Terminate(std::int32_t, std::int32_t) override { loop.quit(0); }

  HostLink& link;
  platform::EventLoop& loop;
  std::size_t messages = 0;
  std::size_t refusedAcks = 0;
};

TEST_F(TermLinkTest, AHostThatReadsLateGetsEveryAcknowledgementAndTheLinkStaysBounded) {
  constexpr std::size_t kMessages = 150000;
  constexpr std::size_t kBatch = 1000;
  std::unique_ptr<platform::StreamListener> listener;
  ASSERT_EQ(platform::listenLocal("termlink-44", listener), 0u);
  std::atomic<std::size_t> sent = 0;
  std::size_t sentBeforeReading = 0;
  std::size_t acks = 0;
  HostThread host(std::move(listener), [&](FrameChannel& h) {
    expectAttach(h);
    h.send(termlink::ConnectResultFrame{0, 0, 0, 0}, kWait);
    std::thread writer([&] {
      Bytes batch;
      for (std::size_t i = 0; i < kBatch; ++i) termlink::encodeFrame(termlink::PrintFrame{{1, 0, 0, 0}}, batch);
      while (sent < kMessages && h.sendBytes(batch, 30000) == FrameChannel::Result::frame) sent += kBatch;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // the host reads nothing meanwhile
    sentBeforeReading = sent;
    Frame ack;
    while (acks < kMessages && h.receive(ack, 30000) == FrameChannel::Result::frame) ++acks;
    writer.join();
    h.send(termlink::TerminateFrame{2, 0}, kWait);
  });
  Acknowledger agent(*link_, runner_.loop());
  std::uint32_t cookie = 0;
  link_->Advise(agent, cookie);
  ASSERT_EQ(connect(connectString("pipe", "localhost", 44)), platform::kSOk);
  ASSERT_TRUE(runner_.run(std::chrono::seconds(60)));

  EXPECT_EQ(agent.messages, kMessages);
  EXPECT_EQ(agent.refusedAcks, 0u);
  EXPECT_EQ(acks, kMessages);
  // While the host did not read, the link stopped taking its messages: what
  // it took is bounded by its output marks and the sockets' buffers.
  // (About 30,000 messages of 13 bytes here; a link that reads on regardless
  // takes over 100,000 a second.)
  EXPECT_LT(sentBeforeReading, 60000u);
}

}  // namespace
}  // namespace vorn
