#include <gtest/gtest.h>

#include <numeric>

#include "tools/vornhost/attach_report.h"
#include "tools/vornhost/host_options.h"
#include "tools/vornhost/host_session.h"
#include "tools/vornhost/message_wrapping.h"

namespace vorn::vornhost {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes stream(std::size_t size, std::uint8_t fill = 'a') {
  Bytes data(size, fill);
  if (!data.empty()) data[0] = 0x0C;  // a print stream starts with a control byte
  return data;
}

// The print data of a report as the agent sees it: the messages' bodies
// joined, without the header record.
Bytes joinedData(const std::vector<Bytes>& messages) {
  Bytes data;
  for (std::size_t i = 0; i < messages.size(); ++i) {
    const std::size_t start = kMessagePrefixSize + (i == 0 ? kHeaderRecordSize : 0);
    data.insert(data.end(), messages[i].begin() + static_cast<std::ptrdiff_t>(start), messages[i].end());
  }
  return data;
}

TEST(WrapReport, FirstMessageCarriesTheHeaderRecord) {
  const auto messages = WrapReport(stream(10), "AB", "Monthly report");
  ASSERT_EQ(messages.size(), 1u);
  const Bytes& m = messages[0];
  ASSERT_EQ(m.size(), 4u + 36 + 10 + 2);
  EXPECT_EQ(m[0], 0x01);
  EXPECT_EQ(m[1], 0x00);
  EXPECT_EQ(m[4], 0x02);
  EXPECT_EQ(m[5], 0x20);
  EXPECT_EQ(std::string(m.begin() + 6, m.begin() + 10), "AB  ");
  EXPECT_EQ(std::string(m.begin() + 10, m.begin() + 40), "Monthly report                ");
  EXPECT_EQ(m[40], 0x0C);
  EXPECT_EQ(m[m.size() - 2], 0x02);
  EXPECT_EQ(m[m.size() - 1], 0x2F);
}

TEST(WrapReport, LongNamesAreCutToTheirFields) {
  const auto header = HeaderRecord("FORMS", "A report name longer than thirty characters");
  EXPECT_EQ(std::string(header.begin() + 2, header.begin() + 6), "FORM");
  EXPECT_EQ(std::string(header.begin() + 6, header.end()), "A report name longer than thir");
}

TEST(WrapReport, EmptyReportIsOneHeaderAndTheTerminator) {
  const auto messages = WrapReport({}, "", "empty");
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].size(), 42u);
  EXPECT_EQ(Bytes(messages[0].end() - 2, messages[0].end()), (Bytes{0x02, 0x2F}));
}

TEST(WrapReport, NoMessageExceedsTheLimitAndTheDataArrivesWhole) {
  for (const std::size_t limit : {kMaxPrintMessage, std::size_t{1000}, kMinPrintMessage}) {
    for (const std::size_t size : {std::size_t{0}, std::size_t{1}, limit - 42, limit - 41, limit - 40, limit,
                                   3 * limit + 17, std::size_t{100000}}) {
      const Bytes data = stream(size);
      const auto messages = WrapReport(data, "F", "R", limit);
      for (const auto& m : messages) ASSERT_LE(m.size(), limit) << size << "/" << limit;
      // Only the last message holds the terminator, at its very end.
      Bytes expected = data;
      expected.insert(expected.end(), {0x02, 0x2F});
      EXPECT_EQ(joinedData(messages), expected) << size << "/" << limit;
      for (std::size_t i = 0; i + 1 < messages.size(); ++i) {
        EXPECT_NE(messages[i].back(), 0x02) << "message " << i;
        EXPECT_GT(messages[i].size(), limit - 2) << "messages are filled";
      }
      // The two unexamined bytes carry the length.
      for (const auto& m : messages) EXPECT_EQ(m[2] | m[3] << 8, static_cast<int>(m.size()));
    }
  }
}

TEST(WrapReport, RecordMarkIsNeverSplitFromItsCommandByte) {
  // Put a record mark exactly where the first message would end.
  const std::size_t limit = 100;
  Bytes data = stream(200);
  data[limit - 40 - 1] = 0x02;
  data[limit - 40] = 'X';
  const auto messages = WrapReport(data, "F", "R", limit);
  ASSERT_GE(messages.size(), 2u);
  EXPECT_EQ(messages[0].size(), limit - 1);
  EXPECT_EQ(messages[1][4], 0x02);
  EXPECT_EQ(messages[1][5], 'X');
}

TEST(WrapReport, TerminatorIsNotAddedTwiceNorSplit) {
  // The stream ends with its own terminator, right across a message boundary.
  const std::size_t limit = 100;
  Bytes data = stream(limit - 40 + 1);
  data[data.size() - 2] = 0x02;
  data.back() = 0x2F;
  const auto messages = WrapReport(data, "F", "R", limit);
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(joinedData(messages), data);
  EXPECT_EQ(Bytes(messages[1].begin() + 4, messages[1].end()), (Bytes{0x02, 0x2F}));
}

TEST(Acknowledgement, OnlyTheSixByteFormIsRight) {
  EXPECT_TRUE(IsRightAcknowledgement(Bytes{1, 0, 0, 0, 0, 0}));
  EXPECT_FALSE(IsRightAcknowledgement(Bytes{1, 0, 0, 0, 0}));
  EXPECT_FALSE(IsRightAcknowledgement(Bytes{1, 0, 0, 0, 0, 0, 0}));
  EXPECT_FALSE(IsRightAcknowledgement(Bytes{1, 0, 0, 0, 0, 1}));
  EXPECT_FALSE(IsRightAcknowledgement(Bytes{}));
  EXPECT_FALSE(ExpectsAcknowledgement(Bytes{1}));
  EXPECT_TRUE(ExpectsAcknowledgement(Bytes{1, 0}));
}

std::optional<HostOptions> parse(std::vector<std::string_view> args, std::string* error = nullptr) {
  std::string ignored;
  return ParseHostOptions(args, error ? *error : ignored);
}

TEST(HostOptions, ReadsEveryOption) {
  const auto o = parse({"--port", "0", "--bind", "::1", "--reject", "-1,0x80080035", "--reject-user", "bob",
                        "--reject-location", "L9", "--form", "AB", "--report", "Name", "--max-message", "100",
                        "r1.vps", "--raw", "bad.bin", "r2.vps", "--ack-timeout", "0.5", "--idle", "--terminate",
                        "7,255", "--keep-listening", "--hold"});
  ASSERT_TRUE(o);
  EXPECT_EQ(o->tcpPort, 0);
  EXPECT_EQ(o->bindAddress, "::1");
  ASSERT_TRUE(o->reject);
  EXPECT_EQ(o->reject->first, -1);
  EXPECT_EQ(o->reject->second, static_cast<std::int32_t>(0x80080035u));
  EXPECT_EQ(o->rejectUsers, std::vector<std::string>{"bob"});
  EXPECT_EQ(o->rejectLocations, std::vector<std::string>{"L9"});
  EXPECT_EQ(o->form, "AB");
  EXPECT_EQ(o->reportName, "Name");
  EXPECT_EQ(o->maxMessage, 100u);
  EXPECT_DOUBLE_EQ(o->ackTimeoutSeconds, 0.5);
  EXPECT_TRUE(o->idle && o->keepListening && o->hold);
  ASSERT_TRUE(o->terminate);
  EXPECT_EQ(o->terminate->first, 7);
  EXPECT_EQ(o->terminate->second, 255);
  ASSERT_EQ(o->sends.size(), 3u);
  EXPECT_EQ(o->sends[0].path, "r1.vps");
  EXPECT_EQ(o->sends[1].kind, SendItem::Kind::raw);
  EXPECT_EQ(o->sends[2].path, "r2.vps");
}

TEST(HostOptions, RefusesMistakes) {
  const std::vector<std::vector<std::string_view>> cases = {
      {},
      {"--port", "1", "--pipe", "2"},
      {"--port", "70000"},
      {"--port"},
      {"--pipe", "x"},
      {"--pipe", "1", "--reject", "0"},
      {"--pipe", "1", "--reject", "5,zz"},
      {"--pipe", "1", "--max-message", "8209"},
      {"--pipe", "1", "--max-message", "47"},
      {"--pipe", "1", "--ack-timeout", "0"},
      {"--pipe", "1", "--form", "ABCDE"},
      {"--pipe", "1", "--terminate", ""},
      {"--pipe", "1", "--what"},
  };
  for (const auto& args : cases) {
    std::string error;
    EXPECT_FALSE(parse(args, &error)) << (args.empty() ? "" : args.back());
    EXPECT_FALSE(error.empty());
  }
  EXPECT_TRUE(parse({"--help"})->help);
}

TEST(HostOptions, ChoosesTheConnectResult) {
  const auto all = parse({"--pipe", "1", "--reject", "86"});
  const auto byUser = parse({"--pipe", "1", "--reject-user", "Bob"});
  const auto byLocation = parse({"--pipe", "1", "--reject-location", "L9", "--reject", "255,3"});
  const auto accept = parse({"--pipe", "1"});
  const struct {
    const HostOptions& options;
    const char* user;
    const char* location;
    std::int32_t code;
    std::int32_t detail;
  } cases[] = {
      {*accept, "bob", "L9", 0, 0},    {*all, "anyone", "", 86, 0},     {*byUser, "bob", "L1", 72, 0},
      {*byUser, "alice", "L1", 0, 0},  {*byLocation, "bob", "l9", 255, 3}, {*byLocation, "bob", "L1", 0, 0},
  };
  for (const auto& c : cases) {
    const CodePair r = ChooseConnectResult(c.options, c.user, c.location);
    EXPECT_EQ(r.first, c.code) << c.user << "@" << c.location;
    EXPECT_EQ(r.second, c.detail) << c.user << "@" << c.location;
  }
}

TEST(HostOutput, SummaryAndAttachLines) {
  HostTotals t{2, 5, 12345, 4, 1, 0, 1.234};
  EXPECT_EQ(FormatSummary(t), "reports=2 messages=5 bytes=12345 acks: right=4 wrong=1 missing=0 elapsed=1.23s");
  const auto lines = DescribeAttach({"P=\"a\\b\"", 1, 3, 0, "id\x01", 15, "AB  WXYZ"});
  EXPECT_EQ(lines, (std::vector<std::string>{"attach connect-string=P=\"a\\x5Cb\"", "attach arg1=1", "attach arg2=3",
                                             "attach arg3=0", "attach printer-id=id\\x01", "attach device-flags=15",
                                             "attach forms=[AB  WXYZ]"}));
  EXPECT_EQ(ReportNameFromPath("/srv/reports/invoice.vps"), "invoice");
}

}  // namespace
}  // namespace vorn::vornhost
