// spoolcmd's printing of the service's replies, including replies that are
// cut, lie about their counts or run past what was received.
#include "control/pipe_replies.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/pipe_bytes.h"

namespace vorn {
namespace {

using namespace test;  // the pipe's bytes

const std::string kClosing = "\n\n(to define or change printer profiles, run VornPrintProfiles)\n";
std::string header(int count) {
  return "There are " + std::to_string(count) + " active VornPrintService printers:\n" +
         "         processid   status   profile.name";
}

TEST(ShowReplyText, ListingsAndMalformedReplies) {
  const std::string laser = "\n           4242     running   LASER1";
  const struct {
    const char* what;
    std::uint32_t callError;
    Bytes reply;
    std::string printed;
  } cases[] = {
      {"no service", 2, {}, "\nVornPrintService not found: 2\n"},
      {"all instances busy", 121, {}, "\nVornPrintService not found: 121\n"},
      {"no agents", 0, listingReply(0), header(0) + kClosing},
      {"running, retrying, start failed, killed and not yet ended", 0,
       listingReply(4) + showRecord(0, 4242, "LASER1") + showRecord(1, 0, "Retry") + showRecord(33, 0, "Dead") +
           showRecord(2, 77, "Killed"),
       header(4) + laser + "\n                    retrying  Retry" + "\n                   dead  33 Dead" +
           "\n             77     running   Killed" + kClosing},
      {"killed and gone, a negative status", 0, listingReply(2) + showRecord(2, 0, "K") + showRecord(-5, 0, "N"),
       header(2) + "\n                   dead   2 K\n                   dead  -5 N" + kClosing},
      {"a name is printed, not formatted", 0, listingReply(1) + showRecord(0, 1, "%s%n%d"),
       header(1) + "\n              1     running   %s%n%d" + kClosing},
      {"the service's refusal, cut to 80", 0, errorReply(0x20000001, std::string(90, 'x')),
       "\nVornPrintService error " + std::string(80, 'x')},
      {"a refusal's text without its zero", 0, cut(errorReply(5, "denied"), 22), "\nVornPrintService error denied"},
      {"3 bytes", 0, cut(le(1), 3), "\nVornPrintService not found: 13\n"},
      {"a listing of 15 bytes", 0, cut(listingReply(1), 15), "\nVornPrintService not found: 13\n"},
      {"an error of 12 bytes", 0, cut(errorReply(5, "x"), 12), "\nVornPrintService not found: 13\n"},
      {"more records counted than sent", 0, listingReply(3) + showRecord(0, 4242, "LASER1"),
       header(3) + laser + kClosing},
      {"a record running past the reply", 0,
       listingReply(2) + showRecord(0, 4242, "LASER1") + cut(showRecord(1, 0, "Cut"), 20),
       header(2) + laser + kClosing},
      {"a record length beyond the reply", 0, listingReply(2) + showRecord(0, 4242, "LASER1") + le(1000) + zeros(30),
       header(2) + laser + kClosing},
      {"a record length below 25", 0, listingReply(2) + showRecord(0, 4242, "LASER1") + le(3) + zeros(30),
       header(2) + laser + kClosing},
      {"a record without a zero in its length", 0,
       listingReply(2) + showRecord(0, 4242, "LASER1") + le(28) + zeros(20) + chars("abcd") + text("more"),
       header(2) + laser + kClosing},
      {"a record length of 0 does not loop", 0, listingReply(0x7FFFFFFF) + le(0), header(0x7FFFFFFF) + kClosing},
      {"a negative count", 0, listingReply(0xFFFFFFFF) + showRecord(0, 1, "A"), header(-1) + kClosing},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(ShowReplyText(c.callError, c.reply), c.printed);
  }
}

TEST(ShowReplyText, TheLargestReplyPrintsAtMostTwiceItsSize) {
  // 25-byte records with empty names, as many as the buffer holds, and a count to match.
  Bytes reply = listingReply(1022);
  for (int i = 0; i < 1022; ++i) reply = reply + showRecord(0, 1, "");
  const std::string printed = ShowReplyText(0, reply);
  EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 1024 + 2);
  EXPECT_LT(printed.size(), 2 * 25576u);
}

TEST(ProfileReplyText, SuccessRefusalsAndFailedCalls) {
  const struct {
    const char* what;
    std::uint32_t callError;
    Bytes reply;
    std::string printed;
    std::uint32_t result;
    bool succeeded;
  } cases[] = {
      {"run done", 0, le(3) + zeros(16), "", 0, true},
      {"kill done: 8 bytes", 0, le(4) + le(0), "", 0, true},
      {"any other code counts as done", 0, le(9), "", 0, true},
      {"refused", 0, errorReply(0x20000002, "duplicate entry"), "\nRun process error: duplicate entry\n", 0x20000002,
       false},
      {"refused with code 0: no ok", 0, errorReply(0, "odd"), "\nRun process error: odd\n", 0, false},
      {"refusal text to the reply's end", 0, cut(errorReply(5, "cut"), 18), "\nRun process error: cu\n", 5, false},
      {"refusal without text", 0, cut(errorReply(5, ""), 16), "\nRun process error: \n", 5, false},
      {"no service", 2, {}, "\nRun process error 2\n", 2, false},
      {"timed out", 121, {}, "\nRun process error 121\n", 121, false},
      {"3 bytes", 0, Bytes{3, 0, 0}, "\nRun process error 13\n", 13, false},
      {"an error reply of 8 bytes", 0, le(0) + le(0), "\nRun process error 13\n", 13, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const ProfileReplyOutcome outcome = ProfileReplyText("Run process", c.callError, c.reply);
    EXPECT_EQ(outcome.text, c.printed);
    EXPECT_EQ(outcome.result, c.result);
    EXPECT_EQ(outcome.succeeded, c.succeeded);
  }
  EXPECT_EQ(ProfileReplyText("Kill process", 0, errorReply(0x20000001, "couldn't find profile")).text,
            "\nKill process error: couldn't find profile\n");
}

}  // namespace
}  // namespace vorn
