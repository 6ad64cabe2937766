#include "agent/jobs/print_intake.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "agent/diag/exceptions.h"
#include "tests/fakes/fake_clock.h"
#include "tests/fakes/fake_file_system.h"
#include "tests/fakes/fake_host_link.h"
#include "tests/fakes/recording_job.h"
#include "tests/support/test_support.h"
#include "tests/unit/jobs/jobs_test_helpers.h"

namespace vorn::testing {
namespace {

using Lines = std::vector<std::string>;

std::string padded(std::string_view text, std::size_t width) {
  std::string field(text);
  field.resize(width, ' ');
  return field;
}

// A message with a header record: form and report padded to their fields.
Bytes header(std::string_view form, std::string_view report, std::string_view data) {
  return bytesOf(std::string("\x01\x00\x00\x00\x02\x20", 6) + padded(form, 4) + padded(report, 30) +
                 std::string(data));
}

Bytes firstBytes(Bytes message, std::size_t count) {
  message.resize(count);
  return message;
}

Bytes continuation(std::string_view data) {
  return bytesOf(std::string("\x01\x00\x00\x00", 4) + std::string(data));
}

const std::vector<std::uint8_t> kAck{0x01, 0, 0, 0, 0, 0};

class PrintIntakeTest : public ::testing::Test {
 protected:
  PrintIntake& intake(JobSettings settings = {}) {
    intake_ = std::make_unique<PrintIntake>(std::move(settings), job, &link, events.log, clock, files);
    return *intake_;
  }
  void feed(const std::vector<Bytes>& messages) {
    for (const auto& message : messages) intake_->processprint(message);
  }

  RecordedEventLog events;
  fakes::RecordingJob job;
  fakes::FakeClock clock{12345};
  fakes::FakeFileSystem files;
  fakes::HostLinkScript host;
  fakes::FakeHostLink link{host};

 private:
  std::unique_ptr<PrintIntake> intake_;
};

TEST_F(PrintIntakeTest, MessagesShorterThanTwoBytesAreRejectedWithoutAcknowledgement) {
  for (const Bytes& message : {Bytes{}, Bytes{0x01}}) {
    intake().processprint(message);
  }
  EXPECT_EQ(events.lines(), (Lines{"processprint error in print command header or structure",
                                   "processprint error in print command header or structure"}));
  EXPECT_TRUE(job.calls.empty());
  EXPECT_TRUE(host.messages.empty());
}

struct RoutingCase {
  std::string name;
  JobSettings settings;
  bool startSucceeds;
  std::vector<Bytes> messages;
  Lines calls;
  Lines events;
  bool openAfter;
};

void PrintTo(const RoutingCase& c, std::ostream* os) { *os << c.name; }

class PrintIntakeRouting : public PrintIntakeTest, public ::testing::WithParamInterface<RoutingCase> {};

TEST_P(PrintIntakeRouting, RoutesMessagesToTheJob) {
  const RoutingCase& c = GetParam();
  job.startSucceeds = c.startSucceeds;
  intake(c.settings);
  feed(c.messages);
  EXPECT_EQ(job.calls, c.calls);
  EXPECT_EQ(events.lines(), c.events);
  EXPECT_EQ(job.open, c.openAfter);
  // Every message of two bytes or more is acknowledged exactly once.
  ASSERT_EQ(host.messages.size(), c.messages.size());
  for (const auto& ack : host.messages) EXPECT_EQ(ack, kAck);
  for (const auto type : host.messageTypes) EXPECT_EQ(type, kVtByteArray);
}

JobSettings zedud() {
  JobSettings s;
  s.zedud = true;
  return s;
}
JobSettings jetform() {
  JobSettings s;
  s.jetform = true;
  return s;
}

const std::string kEnd("\x02/", 2);

INSTANTIATE_TEST_SUITE_P(
    Cases, PrintIntakeRouting,
    ::testing::Values(
        RoutingCase{"WholeReportInOneMessage", {}, true,
                    {header("F1", "Monthly", "\r\nHello" + kEnd)},
                    {"report Monthly", "start 0x00", "data '\r\nHello' last", "end"}, {}, false},
        RoutingCase{"ReportOverThreeMessages", {}, true,
                    {header("F1", "R", "\rA"), continuation("B"), continuation("C" + kEnd)},
                    {"report R", "start 0x00", "data '\rA'", "data 'B'", "data 'C' last", "end"},
                    {}, false},
        RoutingCase{"WrongMessageTypeIsReportedAndHandled", {}, true,
                    {bytesOf(std::string("\x05\x01\x00\x00", 4) + "x")},
                    {"data 'x'"}, {"processprint err 1", "processprint err 5"}, false},
        RoutingCase{"HeaderFollowedByCharactersIsMeasuredLonger", {}, true,
                    {header("ABCD", "R", "ABCD\r")},
                    {"report R", "start 0x00", "data 'ABCD\r'"}, {"processprint err 2|40"}, true},
        RoutingCase{"HeaderWithControlByteInsideNames", {}, true,
                    {header("AB", std::string("X\tY", 3), "\r")},
                    {"report X\tY", "start 0x00", "data '\r'"}, {"processprint err 2|7"}, true},
        RoutingCase{"HeaderOfExactlyFortyBytes", {}, true, {header("F", "R", "")},
                    {"report R", "start 0x00", "data ''"}, {"processprint err 3|40"}, true},
        RoutingCase{"HeaderCutShortReadsMissingBytesAsBlanks", {}, true,
                    {firstBytes(header("FORM", "Report", ""), 13)},
                    {"report Rep", "start 0x00", "data ''"},
                    {"processprint err 2|9", "processprint err 3|40"}, true},
        RoutingCase{"HeaderOfSixBytes", {}, true, {bytesOf(std::string("\x01\x00\x00\x00\x02\x20", 6))},
                    {"report ", "start 0x00", "data ''"},
                    {"processprint err 2|2", "processprint err 3|40"}, true},
        RoutingCase{"AllBlankReportNameIsEmpty", {}, true, {header("", "", "\r")},
                    {"report ", "start 0x00", "data '\r'"}, {}, true},
        RoutingCase{"JetformReplacesReservedCharactersAndBlanks", jetform(), true,
                    {header("F", "A/B:C D", "\r")},
                    {"report A_B_C_D", "start 0x68", "data '\r'"}, {}, true},
        RoutingCase{"OtherwiseReservedCharactersBecomePlus", {}, true,
                    {header("F", "A/B:C D", "\r")},
                    {"report A+B+C D", "start 0x00", "data '\r'"}, {}, true},
        RoutingCase{"NulInReportNameIsReplaced", {}, true,
                    {header("F", std::string("A\0B", 3), "\r")},
                    {"report A+B", "start 0x00", "data '\r'"}, {"processprint err 2|7"}, true},
        RoutingCase{"ZedudPrologueComesBeforeTheData", zedud(), true,
                    {header("AB", "R", "\rX")},
                    {"report R", "start 0x38", "data '%!PS-Adobe\r\n'",
                     "data '(AB.PHD) run exec Form\r\n'", "data '\rX'"},
                    {}, true},
        RoutingCase{"ZedudPrologueFormEndsAtNul", zedud(), true,
                    {header(std::string("A \0Z", 4), "R", "\r")},
                    {"report R", "start 0x38", "data '%!PS-Adobe\r\n'",
                     "data '(A.PHD) run exec Form\r\n'", "data '\r'"},
                    {"processprint err 2|4"}, true},
        RoutingCase{"SecondHeaderEndsTheFirstJob", {}, true,
                    {header("F", "One", "\r1"), header("F", "Two", "\r2")},
                    {"report One", "start 0x00", "data '\r1'", "end", "report Two", "start 0x00",
                     "data '\r2'"},
                    {}, true},
        RoutingCase{"ContinuationWithoutJobIsReportedAndAcknowledged", {}, true,
                    {continuation("lost")}, {"data 'lost'"}, {"processprint err 5"}, false},
        RoutingCase{"FailedStartDropsTheData", {}, false, {header("F", "R", "\rX" + kEnd)},
                    {"report R", "start 0x00", "data '\rX' last"}, {"processprint err 5"}, false},
        RoutingCase{"ThreeBytesAfterTerminatorAreIgnoredQuietly", {}, true,
                    {header("F", "R", "\rX" + kEnd + "abc")},
                    {"report R", "start 0x00", "data '\rX' last", "end"}, {}, false},
        RoutingCase{"FourBytesAfterTerminatorAreReported", {}, true,
                    {header("F", "R", "\rX" + kEnd + "abcd")},
                    {"report R", "start 0x00", "data '\rX' last", "end"}, {"processprint err 6"},
                    false},
        RoutingCase{"LoneRecordMarkAtTheEndIsData", {}, true,
                    {header("F", "R", "\rX"), continuation("Y\x02")},
                    {"report R", "start 0x00", "data '\rX'", "data 'Y\x02'"}, {}, true},
        RoutingCase{"TerminatorAloneInContinuation", {}, true,
                    {header("F", "R", "\rX"), continuation(kEnd)},
                    {"report R", "start 0x00", "data '\rX'", "data '' last", "end"}, {}, false},
        RoutingCase{"HeaderMarkInDataIsReportedWithItsOffset", {}, true,
                    {header("F", "R", std::string("\r\x02 A\x02 ", 6) + kEnd + "\x02 ")},
                    {"report R", "start 0x00", "data '\r\x02 A\x02 ' last", "end"},
                    {"processprint err 4|41", "processprint err 4|44"}, false},
        RoutingCase{"HeaderMarkInContinuationCountsFromMessageStart", {}, true,
                    {header("F", "R", "\r"), continuation(std::string("ab\x02 ", 4))},
                    {"report R", "start 0x00", "data '\r'", "data 'ab\x02 '"},
                    {"processprint err 4|6"}, true}),
    [](const ::testing::TestParamInfo<RoutingCase>& info) { return info.param.name; });

struct OptionCase {
  const char* name;
  JobSettings settings;
  const char* start;
};

TEST_F(PrintIntakeTest, OptionBitsFollowTheProfile) {
  auto with = [](auto change) {
    JobSettings s;
    change(s);
    return s;
  };
  const OptionCase cases[] = {
      {"none", {}, "start 0x00"},
      {"font", with([](JobSettings& s) { s.fontOpt = true; }), "start 0x02"},
      {"margin", with([](JobSettings& s) { s.marginOpt = true; }), "start 0x08"},
      {"zedud", with([](JobSettings& s) { s.zedud = true; }), "start 0x38"},
      {"jetform", with([](JobSettings& s) { s.jetform = true; }), "start 0x68"},
      {"file", with([](JobSettings& s) { s.printToFile = true; }), "start 0x04"},
      {"all", with([](JobSettings& s) {
         s.fontOpt = s.marginOpt = s.zedud = s.jetform = s.printToFile = true;
       }), "start 0x7e"},
  };
  for (const auto& c : cases) {
    job.calls.clear();
    intake(c.settings).processprint(header("F", "R", "\r"));
    const auto found = std::find(job.calls.begin(), job.calls.end(), c.start);
    EXPECT_NE(found, job.calls.end()) << c.name;
  }
}

TEST_F(PrintIntakeTest, PrintToFileChoosesTheNameBeforeStartingWithSanitisedForm) {
  JobSettings s;
  s.printToFile = true;
  s.ptfOpt = 4;
  s.ptfPath = "/out/";
  clock.now = 7;
  intake(s).processprint(header("../a", "Rep/1", "\r"));
  ASSERT_GE(job.calls.size(), 3u);
  EXPECT_EQ(job.calls[0], "file /out/..+a-Rep+1-00007.dat");
  EXPECT_EQ(job.calls[1], "report Rep+1");
  EXPECT_EQ(job.calls[2], "start 0x04");
}

TEST_F(PrintIntakeTest, FormNameKeepsItsBlankInTheFileNameUnderJetform) {
  JobSettings s = jetform();
  s.printToFile = true;
  s.ptfOpt = 7;
  s.ptfPath = "/out/";
  clock.now = 7;
  intake(s).processprint(header("A B", "Rep 1", "\r"));
  ASSERT_FALSE(job.calls.empty());
  EXPECT_EQ(job.calls[0], "file /out/A B-Rep_1-00007.lis");
}

TEST_F(PrintIntakeTest, NoFileNameWithoutPrintToFile) {
  intake().processprint(header("F", "R", "\r"));
  for (const auto& call : job.calls) EXPECT_NE(call.rfind("file ", 0), 0u) << call;
  EXPECT_TRUE(files.opened.empty());
}

TEST_F(PrintIntakeTest, ReceiveRejectsAnythingButAByteArray) {
  const Bytes message = header("F", "R", "\r");
  for (std::uint16_t vt : {std::uint16_t{kVtUi1}, std::uint16_t{0x2008}, std::uint16_t{0}}) {
    try {
      intake().receive(Variant{vt, message});
      ADD_FAILURE() << "accepted type " << vt;
    } catch (const ComError& error) {
      EXPECT_EQ(error.code(), platform::kEInvalidArg);
    }
  }
  EXPECT_TRUE(job.calls.empty());
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(PrintIntakeTest, AcknowledgementWithoutLinkFailsWithEPointer) {
  PrintIntake withoutLink({}, job, nullptr, events.log, clock, files);
  try {
    withoutLink.receive(Variant{kVtByteArray, continuation("x")});
    ADD_FAILURE() << "no failure without a link";
  } catch (const ComError& error) {
    EXPECT_EQ(error.code(), platform::kEPointer);
  }
}

TEST_F(PrintIntakeTest, AcknowledgementReturnsTheLinkResult) {
  host.writeResult = platform::kEFail;
  EXPECT_EQ(intake().processprint(continuation("x")), platform::kEFail);
}

TEST_F(PrintIntakeTest, OverlongMessageIsCutToTheIntakeBufferAndAcknowledgedOnce) {
  std::string data(9000 - 4, 'a');
  data.replace(8300, 2, kEnd);  // beyond the cut: never seen
  const Bytes message = bytesOf(std::string("\x01\x00\x00\x00", 4) + data);
  ASSERT_EQ(message.size(), 9000u);
  job.open = true;
  intake().receive(Variant{kVtByteArray, message});

  EXPECT_EQ(events.lines(), (Lines{"processprint message longer than 8208 bytes, cut|9000"}));
  EXPECT_EQ(job.data.size(), PrintIntake::kIntakeBufferSize - 4);
  EXPECT_TRUE(job.open);  // the terminator lay beyond the cut
  EXPECT_EQ(host.messages.size(), 1u);
}

TEST_F(PrintIntakeTest, MessageOfExactlyTheBufferSizeIsWhole) {
  const Bytes message = continuation(std::string(PrintIntake::kIntakeBufferSize - 6, 'b') + kEnd);
  job.open = true;
  intake().receive(Variant{kVtByteArray, message});
  EXPECT_TRUE(events.lines().empty());
  EXPECT_FALSE(job.open);
  EXPECT_EQ(job.data.size(), PrintIntake::kIntakeBufferSize - 6);
}

}  // namespace
}  // namespace vorn::testing
