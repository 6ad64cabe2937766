// The main window as the host's events reach it through the sink: a print
// report from messages to its file with every message acknowledged, the
// renderer's context handed over, and the events that close the agent.
#include "agent/app/main_frame.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "agent/profile/printer_profile.h"
#include "platform/event_log.h"
#include "platform/event_loop.h"
#include "tests/fakes/fake_clock.h"
#include "tests/fakes/fake_file_system.h"
#include "tests/fakes/fake_host_link.h"
#include "tests/fakes/fake_named_mutexes.h"
#include "tests/fakes/fake_printer_system.h"
#include "tests/fakes/fake_registry.h"
#include "tests/fakes/recording_event_source.h"
#include "tests/support/test_support.h"

namespace vorn {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes bytesOf(std::string_view text) { return Bytes(text.begin(), text.end()); }

class MainFrameTest : public ::testing::Test {
 protected:
  MainFrameTest() {
    const std::string key = ProfileKeyPath("disk1");
    registry.addKey(key);
    for (const auto& [name, value] : {std::pair<const char*, const char*>{"Location", "L1"},
                                      {"Machine", "localhost"},
                                      {"Online", "ONL"},
                                      {"User", "PRT"},
                                      {"printerid", "P1"},
                                      {"printername", "Laser 5"},
                                      {"loadarea", "/forms/"},
                                      {"PrintToFile", "yes"},
                                      {"directtodisk", "yes"},
                                      {"PTFPath", "/spool/"}})
      registry.setString(key, name, value);
    registry.setDword(key, "MainTray", 15);
    registry.setDword(key, "AltTray", 260);
    registry.setDword(key, "PTFOpt", 6);
  }

  // The frame, created; the sink the link delivers to.
  HostLinkEvents& create() {
    frame = std::make_unique<CMainFrame>(services, renderer, "/profile=\"DISK1\"", [this] { ++closeRequests; });
    EXPECT_EQ(frame->OnCreate(), 0);
    EXPECT_NE(host.subscriber, nullptr);
    return *host.subscriber;
  }

  std::vector<std::string> eventTexts() const {
    std::vector<std::string> texts;
    for (const auto& event : recorder.events) texts.push_back(event.strings.at(2).value_or("<null>"));
    return texts;
  }

  std::unique_ptr<platform::EventLoop> loop = platform::createEventLoop();
  fakes::FakeRegistry registry;
  fakes::EventRecorder recorder;
  fakes::RecordingEventLog eventLog{recorder};
  fakes::FakePrinterSystem printers;
  fakes::FakeFileSystem files;
  fakes::FakeClock clock{99998};
  fakes::HostLinkScript host;
  fakes::FakeHostLinkFactory hostLinks{host};
  fakes::FakeNamedMutexes mutexes;
  AgentServices services{*loop, registry, eventLog, printers, files, clock, hostLinks, mutexes};
  Renderer renderer{printers, files};
  int closeRequests = 0;
  std::unique_ptr<CMainFrame> frame;
};

TEST_F(MainFrameTest, ReportFromMessagesToItsFileWithEveryMessageAcknowledged) {
  HostLinkEvents& sink = create();
  // The renderer's context comes from the profile.
  EXPECT_EQ(renderer.context().printerName, "Laser 5");
  EXPECT_EQ(renderer.context().loadDirectory, "/forms/");
  EXPECT_EQ(renderer.context().mainTray, 15);
  EXPECT_EQ(renderer.context().altTray, 260);

  sink.ConnectResult(0, 0, 0, 0);
  const std::string head = std::string("\x01\x00\x00\x00\x02\x20", 6) + "PAY " + "Pay Run" +
                           std::string(23, ' ') + "\r\nPage 1\f";
  const std::string tail = std::string("\x01\x00\x00\x00", 4) + "Page 2\f\x02/";
  for (const std::string& message : {head, tail}) {
    const Bytes bytes = bytesOf(message);
    sink.ReadMessage(Variant{kVtByteArray, bytes});
  }
  sink.PrinterIdle();

  EXPECT_EQ(files.content("/spool/Pay Run-99998.lis"), "\r\nPage 1\fPage 2\f");  // kept as sent without the Jetform option
  EXPECT_EQ(host.messages, (std::vector<Bytes>{{1, 0, 0, 0, 0, 0}, {1, 0, 0, 0, 0, 0}}));
  EXPECT_TRUE(recorder.events.empty());
  EXPECT_EQ(closeRequests, 0);
}

TEST_F(MainFrameTest, MessagesAreIgnoredWhenTheAttachRequestWasNotSent) {
  host.connectResult = platform::kEFail;
  frame = std::make_unique<CMainFrame>(services, renderer, "/profile=\"DISK1\"", [this] { ++closeRequests; });
  EXPECT_EQ(frame->OnCreate(), -1);
  ASSERT_NE(host.subscriber, nullptr);  // the sink stays subscribed to the released link
  recorder.events.clear();
  const Bytes message = bytesOf(std::string("\x01\x00\x00\x00x\x02/", 7));
  host.subscriber->ReadMessage(Variant{kVtByteArray, message});
  EXPECT_TRUE(host.messages.empty());
  EXPECT_TRUE(files.empty());
  EXPECT_TRUE(recorder.events.empty());
}

TEST_F(MainFrameTest, RejectionAndTerminationWriteTheirEventAndCloseTheAgent) {
  HostLinkEvents& sink = create();
  sink.ConnectResult(72, 0, 0, 0);
  sink.ConnectResult(147, 0, 0, 0);  // no text: closes silently
  sink.Terminate(2, 0);
  sink.Terminate(1, 0);  // the host's own request: no event
  EXPECT_EQ(eventTexts(), (std::vector<std::string>{"terminating - Attach request rejected - 'User' name not known",
                                                    "terminating - the online application has been shut down."}));
  for (const auto& event : recorder.events) EXPECT_EQ(event.strings.at(1), "disk1");
  EXPECT_EQ(closeRequests, 4);
}

TEST_F(MainFrameTest, FailureWhileHandlingTerminateIsFatalAtLine679) {
  test::TempRoot root;  // the fatal report also goes to the event log under the root
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  frame = std::make_unique<CMainFrame>(services, renderer, "/profile=\"DISK1\"",
                                       [] { throw std::runtime_error("post failed"); });
  ASSERT_EQ(frame->OnCreate(), 0);
  EXPECT_EXIT(host.subscriber->Terminate(2, 0), ::testing::ExitedWithCode(255),
              "Unknown Exception.*MainFrm at line 679");
}

// The fatal report names the entry point that the failure escaped first:
// the intake's own failures, and those of the job operations it calls.
struct MessageFailureCase {
  std::string name;
  std::uint16_t vt;
  std::uint32_t writeError;  // of the disk writes, from the first on
  std::string report;
};

class MessageFailures : public MainFrameTest, public ::testing::WithParamInterface<MessageFailureCase> {};

TEST_P(MessageFailures, EndTheAgentAtTheSiteTheyEscape) {
  test::TempRoot root;
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  files.writeError = GetParam().writeError;
  HostLinkEvents& sink = create();
  const Bytes message = bytesOf(std::string("\x01\x00\x00\x00\x02\x20", 6) + "PAY Pay Run" +
                                std::string(23, ' ') + "\r\nPage 1\f");
  EXPECT_EXIT(sink.ReadMessage(Variant{GetParam().vt, message}), ::testing::ExitedWithCode(255),
              GetParam().report);
}

INSTANTIATE_TEST_SUITE_P(
    Sites, MessageFailures,
    ::testing::Values(
        MessageFailureCase{"NotAByteArray", kVtUi1, platform::kErrorSuccess, "COM Exception.*MainFrm at line 423"},
        MessageFailureCase{"DiskWriteFails", kVtByteArray, platform::kErrorDiskFull,
                           "C Exception.*MainFrm at line 603"}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace vorn
