#include "service/service_event_log.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/error.h"
#include "tests/fakes/recording_event_source.h"

namespace vorn {
namespace {

using Strings = std::vector<std::optional<std::string>>;

TEST(ServiceEventLog, SixStringsCodesInDecimalAndTheLastErrorReadFirst) {
  fakes::EventRecorder recorder;
  fakes::RecordingEventLog eventLog(recorder);
  ServiceEventLog log(eventLog);

  log.ReportInfo("started", "");
  log.ReportErrorCode("Unrecognized handler opcode", std::int32_t{-1});
  platform::setLastError(1063);
  log.ReportLastError("StartServiceCtrlDispatcher error");

  ASSERT_EQ(recorder.events.size(), 3u);
  EXPECT_EQ(recorder.events[0].type, platform::kEventLogInformationType);
  EXPECT_EQ(recorder.events[0].strings, (Strings{"VornPrintService", "started", "", std::nullopt, std::nullopt, std::nullopt}));
  EXPECT_EQ(recorder.events[1].type, platform::kEventLogErrorType);
  EXPECT_EQ(recorder.events[1].strings[2], "-1");
  EXPECT_EQ(recorder.events[2].strings[2], "1063");
  for (const auto& event : recorder.events) {
    EXPECT_EQ(event.eventId, 1u);
    EXPECT_EQ(event.category, 0u);
  }
  EXPECT_EQ(eventLog.registeredNames, std::vector<std::string>(3, "VORN"));  // opened for each event
}

TEST(ServiceEventLog, FailuresGoToStandardOutput) {
  struct Case {
    bool failOpen;
    bool error;
    std::string output;
  };
  for (const Case& c : {Case{true, true, "logopen failed 5\n"}, Case{true, false, "logopen failed: 5\n"},
                        Case{false, true, "failed to log event: 5\n"}}) {
    fakes::EventRecorder recorder;
    recorder.failReports = !c.failOpen;
    fakes::RecordingEventLog eventLog(recorder);
    eventLog.failRegistration = c.failOpen;
    ServiceEventLog log(eventLog);
    testing::internal::CaptureStdout();
    platform::setLastError(5);  // after the capture, whose file calls set it too
    if (c.error) {
      log.ReportError("m", "d");
    } else {
      log.ReportInfo("m", "d");
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), c.output);
  }
}

TEST(SystemErrorText, PrefixAndTheSystemsText) {
  EXPECT_EQ(SystemErrorText(2), "Error: 2 The system cannot find the file specified.\r\n");
  EXPECT_EQ(SystemErrorText(0x20000004), "Error: 536870916 ");  // no system text: the prefix alone
}

}  // namespace
}  // namespace vorn
