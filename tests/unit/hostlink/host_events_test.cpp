#include "agent/hostlink/host_events.h"

#include <gtest/gtest.h>

#include "agent/diag/error_code_text.h"
#include "tests/fakes/recording_event_source.h"

namespace vorn {
namespace {

struct RejectionCase {
  std::int32_t code;
  std::uint32_t detail;
  std::string expected;
};

class AttachRejection : public ::testing::TestWithParam<RejectionCase> {};

TEST_P(AttachRejection, Text) {
  EXPECT_EQ(AttachRejectionText(GetParam().code, static_cast<std::int32_t>(GetParam().detail)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, AttachRejection,
    ::testing::Values(
        RejectionCase{72, 0, "'User' name not known"},
        RejectionCase{78, 0, "Tables full, no room for additional printer"},
        RejectionCase{86, 0, "Dynamic attachment to this application not allowed"},
        RejectionCase{105, 0, "'location' not known"},
        RejectionCase{145, 0, "Online job does not have \"screen mapping\" enabled"},
        RejectionCase{147, 12345, ""},
        RejectionCase{255, 0, "Error occurred in online and was logged in its error log"},
        RejectionCase{-1, 0x80080035u, "Could not find or open the \"named pipe\" used for this connection"},
        RejectionCase{-1, 0x80080002u, "Could not connect to the server communications program 'kvnet'"},
        RejectionCase{-1, 0x8008274Du,  // 10061, refused
                      "Unknown TCP/IP communications error (HResult=8008274d, Unknown or new error, "
                      "Facility=FACILITY_WINDOWS)"},
        RejectionCase{3, 0, "Unknown error code 3"},
        RejectionCase{-7, 0, "Unknown error code -7"},
        RejectionCase{0x7FFFFFFF, 0, "Unknown error code 2147483647"}));

TEST(AttachRejection, OtherDetailsTakeTheErrorCodeText) {
  for (const std::uint32_t detail : {0x80004005u, 0x8008270Fu /* 9999 */, 0x80082EE0u /* 12000 */,
                                     0x8008274Cu /* 10060, timed out */, 0x80082710u /* 10000 */,
                                     0x00082AF9u /* facility 8 without the failure bit */,
                                     0x8007274Du /* facility 7 */, 0u}) {
    EXPECT_EQ(AttachRejectionText(-1, static_cast<std::int32_t>(detail)), ErrorCodeText(detail)) << std::hex << detail;
  }
}

TEST(Termination, Table) {
  using Kind = TerminationEvent::Kind;
  const struct {
    std::int32_t reason;
    std::int32_t detail;
    Kind kind;
    const char* text;
  } cases[] = {
      {1, 9, Kind::none, ""},
      {2, 0, Kind::information, "terminating - the online application has been shut down."},
      {3, 0, Kind::error, "terminating - an administrator has terminated this device."},
      {4, 0, Kind::error, "terminating - the online application has terminated abnormally."},
      {-1, static_cast<std::int32_t>(0x80082746u), Kind::error,
       "terminating - a communications error occurred.  Perhaps the application has shut down?"},
      {7, 255, Kind::error, "terminating - an invalid message was received: 7, ff"},
      {0, -1, Kind::error, "terminating - an invalid message was received: 0, ffffffff"},
      {-2, 0xABC, Kind::error, "terminating - an invalid message was received: -2, abc"},
  };
  for (const auto& c : cases) {
    const TerminationEvent event = TerminationEventFor(c.reason, c.detail);
    EXPECT_EQ(event.kind, c.kind) << c.reason;
    EXPECT_EQ(event.text, c.text) << c.reason;
  }
}

// The events of a rejection or termination, written with a recording event log.
class HostEventLogTest : public ::testing::Test {
 protected:
  HostEventLogTest() : log_(std::make_unique<fakes::RecordingEventSource>(recorder_)) {}

  void expectOneEvent(std::uint16_t type, const std::string& text) {
    ASSERT_EQ(recorder_.events.size(), 1u);
    const auto& e = recorder_.events[0];
    EXPECT_EQ(e.type, type);
    EXPECT_EQ(e.eventId, 1u);
    ASSERT_EQ(e.strings.size(), 6u);
    EXPECT_EQ(e.strings[0], "SPOOLAGENT");
    EXPECT_EQ(e.strings[1], "laser1");
    EXPECT_EQ(e.strings[2], text);
  }

  fakes::EventRecorder recorder_;
  AgentEventLog log_;
};

TEST_F(HostEventLogTest, RejectionWritesItsText) {
  LogAttachRejection(log_, "laser1", 72, 0);
  expectOneEvent(platform::kEventLogErrorType, "terminating - Attach request rejected - 'User' name not known");
}

TEST_F(HostEventLogTest, RejectionWithoutTextWritesNothing) {
  LogAttachRejection(log_, "laser1", 147, 0);
  EXPECT_TRUE(recorder_.events.empty());
}

TEST_F(HostEventLogTest, LinkFailureDetailUsesErrorCodeText) {
  LogAttachRejection(log_, "laser1", -1, static_cast<std::int32_t>(0x80004005u));
  expectOneEvent(platform::kEventLogErrorType,
                 "terminating - Attach request rejected - " + ErrorCodeText(0x80004005u));
}

TEST_F(HostEventLogTest, TerminationWritesTheTableEvent) {
  LogTermination(log_, "laser1", 2, 0);
  expectOneEvent(platform::kEventLogInformationType, "terminating - the online application has been shut down.");
  recorder_.events.clear();
  LogTermination(log_, "laser1", 7, 255);
  expectOneEvent(platform::kEventLogErrorType, "terminating - an invalid message was received: 7, ff");
}

TEST_F(HostEventLogTest, TerminationReasonOneWritesNothing) {
  LogTermination(log_, "laser1", 1, 5);
  EXPECT_TRUE(recorder_.events.empty());
}

}  // namespace
}  // namespace vorn
