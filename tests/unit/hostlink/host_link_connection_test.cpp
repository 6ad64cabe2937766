#include "agent/hostlink/host_link_connection.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "tests/fakes/fake_host_link.h"
#include "tests/fakes/recording_event_source.h"
#include "tests/support/test_support.h"

namespace vorn {
namespace {

using Calls = std::vector<std::string>;

// Records what reaches the receiver the set-up subscribed; deleted by the connection.
struct RecordingReceiver final : HostLinkEvents {
  explicit RecordingReceiver(Calls& seen) : seen(seen) {}
  ~RecordingReceiver() override { seen.push_back("receiver deleted"); }
  void ConnectResult(std::int32_t code, std::int32_t detail, std::int32_t, std::int32_t) override {
    seen.push_back("connect-result " + std::to_string(code) + " " + std::to_string(detail));
  }
  void ReadMessage(const Variant& m) override { seen.push_back("message " + std::to_string(m.bytes.size())); }
  void PrinterIdle() override { seen.push_back("idle"); }
  void Terminate(std::int32_t reason, std::int32_t detail) override {
    seen.push_back("terminate " + std::to_string(reason) + " " + std::to_string(detail));
  }
  Calls& seen;
};

class HostLinkConnectionTest : public ::testing::Test {
 protected:
  HostLinkConnectionTest() : factory_(script_), log_(std::make_unique<fakes::RecordingEventSource>(recorder_)) {
    profile_.name = "laser1";
    profile_.Machine = "hostA";
    profile_.CommType = true;
    profile_.Port = 7001;
    profile_.User = "u\"1";
    profile_.printerid = "PRT9";
    profile_.MainForm = "STD";
    profile_.AltForm = "WIDE1";
    profile_.Restrict = true;
    profile_.TwoTray = true;
  }

  std::optional<std::string> eventText(std::size_t index, std::size_t string) const {
    return recorder_.events.at(index).strings.at(string);
  }

  fakes::HostLinkScript script_;
  fakes::FakeHostLinkFactory factory_;
  fakes::EventRecorder recorder_;
  // The set-up's receiver, recording into `seen_`.
  std::unique_ptr<HostLinkEvents> receiver() { return std::make_unique<RecordingReceiver>(seen_); }

  AgentEventLog log_;
  Calls seen_;
  PrinterProfile profile_;
};

TEST_F(HostLinkConnectionTest, SetUpCreatesSubscribesAndConnectsInOrder) {
  {
    HostLinkConnection connection(factory_, log_);
    EXPECT_EQ(connection.linkState(), 0);
    ASSERT_EQ(connection.SetUp(profile_, receiver()), 0);
    EXPECT_EQ(connection.linkState(), 2);
    EXPECT_EQ(script_.calls, (Calls{"create", "advise", "connect"}));
    ASSERT_EQ(script_.connects.size(), 1u);
    const auto& c = script_.connects[0];
    EXPECT_EQ(c.connectString,
              R"(Profile="laser1",Server="hostA",CommType="socket",Online="",Client="u""1",Location="",Direct="no",Port="7001")");
    EXPECT_EQ(c.arg1, 1);
    EXPECT_EQ(c.arg2, 3);
    EXPECT_EQ(c.arg3, 0);
    EXPECT_EQ(c.printerId, "PRT9");
    EXPECT_EQ(c.deviceFlags, 11);
    EXPECT_EQ(c.forms, "STD WIDE");
    EXPECT_TRUE(recorder_.events.empty());
  }
  // Teardown: the subscription ends with the cookie the link gave, then the link goes.
  EXPECT_EQ(script_.calls, (Calls{"create", "advise", "connect", "unadvise 77", "release"}));
}

TEST_F(HostLinkConnectionTest, EventsReachTheSubscribedReceiverUntilTeardownDeletesIt) {
  {
    HostLinkConnection connection(factory_, log_);
    ASSERT_EQ(connection.SetUp(profile_, std::make_unique<RecordingReceiver>(script_.calls)), 0);
    ASSERT_NE(script_.subscriber, nullptr);
    script_.subscriber->ConnectResult(72, 5, 9, 9);
    script_.subscriber->PrinterIdle();
    script_.subscriber->Terminate(3, 4);
    const std::vector<std::uint8_t> bytes = {1, 0};
    script_.subscriber->ReadMessage(Variant{kVtByteArray, bytes});
  }
  // The receiver is deleted only once its subscription has ended.
  EXPECT_EQ(script_.calls, (Calls{"create", "advise", "connect", "connect-result 72 5", "idle", "terminate 3 4",
                                  "message 2", "unadvise 77", "receiver deleted", "release"}));
}

TEST_F(HostLinkConnectionTest, CreationFailureIsLoggedWithItsCode) {
  // The run step failing: its own code is the one reported.
  script_.createResult = static_cast<platform::HRESULT>(0x80080004u);
  HostLinkConnection connection(factory_, log_);
  EXPECT_EQ(connection.SetUp(profile_, receiver()), -1);
  EXPECT_EQ(connection.linkInterface(), nullptr);
  EXPECT_EQ(connection.linkState(), 0);
  ASSERT_EQ(recorder_.events.size(), 1u);
  EXPECT_EQ(eventText(0, 1), "termlink->createinstance failed");
  EXPECT_EQ(eventText(0, 2), std::to_string(static_cast<std::int32_t>(0x80080004u)));
  EXPECT_EQ(script_.calls, (Calls{"create"}));
}

TEST_F(HostLinkConnectionTest, SubscriptionFailureIsLoggedAndTheLinkKeptForTeardown) {
  script_.adviseResult = platform::kEFail;
  {
    HostLinkConnection connection(factory_, log_);
    EXPECT_EQ(connection.SetUp(profile_, receiver()), -1);
    EXPECT_EQ(connection.linkState(), 0);
    ASSERT_EQ(recorder_.events.size(), 1u);
    EXPECT_EQ(eventText(0, 1), "GetIDispatch failed");
    EXPECT_EQ(eventText(0, 2), std::nullopt);
  }
  // The link is still held at teardown, so the (never made) subscription is cancelled first.
  EXPECT_EQ(script_.calls, (Calls{"create", "advise", "unadvise 0", "release"}));
}

TEST_F(HostLinkConnectionTest, ConnectFailureReleasesTheLinkAtOnce) {
  script_.connectResult = platform::kEInvalidArg;
  {
    HostLinkConnection connection(factory_, log_);
    EXPECT_EQ(connection.SetUp(profile_, receiver()), -1);
    EXPECT_EQ(connection.linkInterface(), nullptr);
    EXPECT_EQ(connection.linkState(), 0);
    ASSERT_EQ(recorder_.events.size(), 1u);
    EXPECT_EQ(eventText(0, 1), "termlink->connect failed");
    EXPECT_EQ(eventText(0, 2), std::nullopt);
    EXPECT_EQ(script_.calls, (Calls{"create", "advise", "connect", "release"}));
  }
  // Without a link there is nothing to unsubscribe from.
  EXPECT_EQ(script_.calls, (Calls{"create", "advise", "connect", "release"}));
}

TEST_F(HostLinkConnectionTest, SecondSetUpReleasesTheFirstLink) {
  HostLinkConnection connection(factory_, log_);
  ASSERT_EQ(connection.SetUp(profile_, receiver()), 0);
  ASSERT_EQ(connection.SetUp(profile_, receiver()), 0);
  EXPECT_EQ(script_.calls, (Calls{"create", "advise", "connect", "release", "create", "advise", "connect"}));
}

TEST_F(HostLinkConnectionTest, TheLinkIsHeldOnceSetUp) {
  HostLinkConnection connection(factory_, log_);
  EXPECT_EQ(connection.linkInterface(), nullptr);
  ASSERT_EQ(connection.SetUp(profile_, receiver()), 0);
  ASSERT_NE(connection.linkInterface(), nullptr);
  EXPECT_EQ(connection.linkInterface()->WriteMessage(Variant{}), platform::kSOk);
  EXPECT_EQ(script_.calls.back(), "write");
}

// Fatal paths end the process; they run in a child with a root of its own.
class FatalPaths : public HostLinkConnectionTest {
 protected:
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
  test::TempRoot root_;
};

TEST_F(FatalPaths, ExceptionDuringSetUpIsFatalAtLine391) {
  script_.throwComErrorOnConnect = true;
  HostLinkConnection connection(factory_, log_);
  EXPECT_EXIT(connection.SetUp(profile_, receiver()), ::testing::ExitedWithCode(255), "COM Exception.*MainFrm at line 391");
}

}  // namespace
}  // namespace vorn
