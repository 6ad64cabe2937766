#include "agent/jobs/print_job.h"

#include <gtest/gtest.h>
#include <string>

#include "agent/diag/exceptions.h"
#include "agent/render/vorn_print.h"
#include "platform/device_mode.h"
#include "platform/error.h"
#include "tests/fakes/fake_file_system.h"
#include "tests/fakes/fake_printer_system.h"
#include "tests/fakes/recording_device.h"
#include "tests/support/test_support.h"
#include "tests/unit/jobs/jobs_test_helpers.h"

namespace vorn::testing {
namespace {

using Lines = std::vector<std::string>;
using fakes::Call;

JobSettings targetSettings(OutputTarget target) {
  JobSettings s;
  s.printerName = "Laser 5";
  s.printToFile = target != OutputTarget::spoolerDevice;
  s.directToDisk = target == OutputTarget::directToDisk;
  return s;
}

// The jobs run the real engine; its device contexts record what it does and
// fail where the device log is told to.
class PrintJobTest : public ::testing::Test {
 protected:
  PrintJobTest() {
    printers.printerName = "Laser 5";
    printers.deviceLog = device;
    RenderContext context;
    context.deviceMode = &deviceMode;
    renderer.setContext(std::move(context));
  }

  PrintJob& jobs(JobSettings settings) {
    job_ = std::make_unique<PrintJob>(std::move(settings), printers, files, renderer, events.log);
    job_->setReportName("Daily");
    job_->setOutputFileName("/out/Daily.dat");
    return *job_;
  }

  // What the engine drew, line by line.
  Lines drawn() const { return device->texts(); }

  RecordedEventLog events;
  fakes::FakePrinterSystem printers;
  fakes::FakeFileSystem files;
  std::shared_ptr<fakes::DeviceLog> device = std::make_shared<fakes::DeviceLog>();
  platform::DeviceMode deviceMode{platform::DeviceMode::kPublicSize};
  Renderer renderer{printers, files};

 private:
  std::unique_ptr<PrintJob> job_;
};

TEST(OutputTargetSelection, DirectToDiskCountsOnlyWithPrintToFile) {
  EXPECT_EQ(selectOutputTarget(false, false), OutputTarget::spoolerDevice);
  EXPECT_EQ(selectOutputTarget(false, true), OutputTarget::spoolerDevice);
  EXPECT_EQ(selectOutputTarget(true, false), OutputTarget::printToFile);
  EXPECT_EQ(selectOutputTarget(true, true), OutputTarget::directToDisk);
  JobSettings s;
  s.directToDisk = true;
  EXPECT_TRUE(s.needsPrinter());
  s.printToFile = true;
  EXPECT_FALSE(s.needsPrinter());
}

class RendererTargets : public PrintJobTest, public ::testing::WithParamInterface<OutputTarget> {};

TEST_P(RendererTargets, JobRunsThroughTheEngineOnItsOwnDeviceContext) {
  PrintJob& job = jobs(targetSettings(GetParam()));
  job.jobstart(OPT_TO_FILE | OPT_EJECT_MARK);
  ASSERT_TRUE(job.jobOpen());
  EXPECT_EQ(printers.dcsCreated, 1);  // for "Laser 5": the fake makes none for another printer
  EXPECT_FALSE(printers.lastDCHadInit);
  const auto docs = device->of(Call::StartDoc);
  ASSERT_EQ(docs.size(), 1u);
  EXPECT_EQ(docs[0].text, "Vorn: Daily");
  EXPECT_EQ(docs[0].output, std::optional<std::string>("/out/Daily.dat"));  // the document's output file
  EXPECT_EQ(printers.dcsLive, 1);

  job.jobdata(bytesOf("abc\r\n"), false);
  job.jobdata(bytesOf("def\r\n\f"), true);
  EXPECT_EQ(drawn(), (Lines{"abc", "def", "^EJECT"}));  // the options reached the engine

  job.jobend();
  EXPECT_FALSE(job.jobOpen());
  EXPECT_EQ(device->count(Call::EndDoc), 1);
  EXPECT_EQ(printers.dcsLive, 0);
  EXPECT_TRUE(events.lines().empty());
  EXPECT_TRUE(files.empty());
}

TEST_P(RendererTargets, DocumentWithoutTheFileOptionHasNoOutputFile) {
  PrintJob& job = jobs(targetSettings(GetParam()));
  job.jobstart(0);
  const auto docs = device->of(Call::StartDoc);
  ASSERT_EQ(docs.size(), 1u);
  EXPECT_FALSE(docs[0].output.has_value());
}

TEST_P(RendererTargets, FailedCreateDCLeavesTheJobClosed) {
  printers.failCreateDC = true;
  PrintJob& job = jobs(targetSettings(GetParam()));
  job.jobstart(0);
  EXPECT_FALSE(job.jobOpen());
  EXPECT_TRUE(device->calls.empty());
  EXPECT_EQ(events.lines(), (Lines{"Error while initializing printing - createDC failed"}));
}

TEST_P(RendererTargets, RefusedStartDeletesTheDeviceContext) {
  const struct {
    Call refused;
    const char* event;
  } cases[] = {
      {Call::SetTextAlign, "Error while initializing printing - VornPrintStart failed|-2"},
      {Call::StartDoc, "Error while initializing printing - VornPrintStart failed|-1"},
  };
  for (const auto& c : cases) {
    *device = {};
    device->failEvery(c.refused);
    RecordedEventLog log;
    PrintJob job(targetSettings(GetParam()), printers, files, renderer, log.log);
    job.jobstart(0);
    EXPECT_FALSE(job.jobOpen());
    EXPECT_EQ(printers.dcsLive, 0);
    EXPECT_EQ(log.lines(), (Lines{c.event}));
    job.jobend();
    EXPECT_EQ(device->count(Call::EndDoc), 0);
  }
  EXPECT_EQ(printers.dcsCreated, 2);
}

TEST_P(RendererTargets, RenderingFailureEndsTheJobAtOnce) {
  device->failEvery(Call::EndPage);  // the form feed's page end
  PrintJob& job = jobs(targetSettings(GetParam()));
  job.jobstart(0);
  job.jobdata(bytesOf("one\r\n"), false);
  EXPECT_TRUE(job.jobOpen());
  job.jobdata(bytesOf("two\r\n\f"), false);
  EXPECT_FALSE(job.jobOpen());
  EXPECT_EQ(device->count(Call::EndDoc), 1);
  EXPECT_EQ(printers.dcsLive, 0);
  job.jobdata(bytesOf("three\r\n"), true);
  EXPECT_EQ(drawn(), (Lines{"one", "two"}));
  EXPECT_EQ(events.lines(), (Lines{"Error while printing - VornPrintData failed|-6"}));
}

TEST_P(RendererTargets, FailedDocumentEndIsReportedWithTheSystemError) {
  device->failEvery(Call::EndDoc);
  PrintJob& job = jobs(targetSettings(GetParam()));
  job.jobstart(0);
  job.jobdata(bytesOf("one\r\n"), true);
  job.jobend();
  EXPECT_FALSE(job.jobOpen());
  EXPECT_EQ(printers.dcsLive, 0);
  EXPECT_EQ(events.lines(), (Lines{"Error while printing - VornPrintEnd failed|" +
                                   std::to_string(platform::kErrorDiskFull)}));
}

TEST_P(RendererTargets, EmptyBlockLeavesTheJobOpen) {
  PrintJob& job = jobs(targetSettings(GetParam()));
  job.jobstart(0);
  job.jobdata({}, true);
  EXPECT_TRUE(job.jobOpen());
  EXPECT_TRUE(events.lines().empty());
}

TEST_P(RendererTargets, EveryJobGetsAFreshDeviceContext) {
  PrintJob& job = jobs(targetSettings(GetParam()));
  for (int i = 0; i < 3; ++i) {
    job.jobstart(0);
    job.jobend();
  }
  EXPECT_EQ(printers.dcsCreated, 3);
  EXPECT_EQ(printers.dcsLive, 0);
}

INSTANTIATE_TEST_SUITE_P(Targets, RendererTargets,
                         ::testing::Values(OutputTarget::spoolerDevice, OutputTarget::printToFile),
                         [](const auto& info) {
                           return info.param == OutputTarget::spoolerDevice ? "Spooler" : "PrintToFile";
                         });

TEST_F(PrintJobTest, ClosedJobIgnoresDataAndEnd) {
  PrintJob& job = jobs(targetSettings(OutputTarget::spoolerDevice));
  job.jobdata(bytesOf("x\r\n"), true);
  job.jobend();
  EXPECT_TRUE(device->calls.empty());
  EXPECT_TRUE(events.lines().empty());
}

TEST_F(PrintJobTest, DirectToDiskWritesTranslatedTextToTheOutputFile) {
  JobSettings s = targetSettings(OutputTarget::directToDisk);
  s.jetform = true;
  PrintJob& job = jobs(s);
  job.jobstart(0x6C);
  ASSERT_TRUE(job.jobOpen());
  EXPECT_EQ(files.openFiles, 1);
  job.jobdata(bytesOf("A\f"), false);
  job.jobdata(bytesOf("B\f"), true);
  job.jobend();
  EXPECT_FALSE(job.jobOpen());
  EXPECT_EQ(files.content("/out/Daily.dat"), "A\r\n^EJECT\r\nB\r\n");
  EXPECT_EQ(files.openFiles, 0);
  EXPECT_EQ(files.closes, 1);
  EXPECT_EQ(printers.dcsCreated, 0);
  EXPECT_TRUE(events.lines().empty());
}

TEST_F(PrintJobTest, DirectToDiskReplacesAnEarlierFileOnlyWhenTheNameHasNoCounter) {
  for (const std::uint16_t pattern : {2, 3}) {
    RecordedEventLog log;
    fakes::FakeFileSystem disk;
    JobSettings s = targetSettings(OutputTarget::directToDisk);
    s.ptfOpt = pattern;
    PrintJob job(s, printers, disk, renderer, log.log);
    job.setOutputFileName("/out/Daily.dat");
    for (const char* text : {"first report, longer", "second"}) {
      job.jobstart(0);
      job.jobdata(bytesOf(text), true);
      job.jobend();
    }
    const bool replaces = pattern == 2;
    EXPECT_EQ(disk.content("/out/Daily.dat"), replaces ? "second" : "first report, longer") << pattern;
    EXPECT_EQ(log.lines(), replaces ? Lines{}
                                    : Lines{"Error opening outfile - VornPrintStart failed|" +
                                            std::to_string(FileException::accessDenied)})
        << pattern;
  }
}

TEST_F(PrintJobTest, DirectToDiskOpenFailureReportsTheFileCause) {
  files.createError = platform::kErrorSharingViolation;
  PrintJob& job = jobs(targetSettings(OutputTarget::directToDisk));
  job.jobstart(0);
  EXPECT_FALSE(job.jobOpen());
  EXPECT_EQ(events.lines(),
            (Lines{"Error opening outfile - VornPrintStart failed|" +
                   std::to_string(FileException::sharingViolation)}));
  job.jobdata(bytesOf("x"), true);
  EXPECT_TRUE(files.writeSizes.empty());
}

TEST_F(PrintJobTest, DocumentNameOfEmptyReport) {
  PrintJob& job = jobs(targetSettings(OutputTarget::spoolerDevice));
  job.setReportName("");
  EXPECT_EQ(job.documentName(), "Vorn: ");
  job.jobstart(0);
  ASSERT_EQ(device->of(Call::StartDoc).size(), 1u);
  EXPECT_EQ(device->of(Call::StartDoc)[0].text, "Vorn: ");
}

// A failed write of the output file ends the agent as a framework exception.
TEST(PrintJobDeathTest, FailedDiskWriteIsFatal) {
  test::TempRoot root;  // the fatal report also goes to the event log under the root
  EXPECT_EXIT(
      {
        RecordedEventLog events;
        fakes::FakePrinterSystem printers;
        fakes::FakeFileSystem files;
        Renderer renderer(printers, files);
        files.writeError = platform::kErrorDiskFull;
        PrintJob job(targetSettings(OutputTarget::directToDisk), printers, files, renderer, events.log);
        job.setOutputFileName("out");
        job.jobstart(0);
        job.jobdata(bytesOf("text"), false);
      },
      ::testing::ExitedWithCode(255), "C Exception");
}

}  // namespace
}  // namespace vorn::testing
