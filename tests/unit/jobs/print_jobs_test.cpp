#include "agent/jobs/print_jobs.h"

#include <gtest/gtest.h>
#include <string>

#include "agent/diag/exceptions.h"
#include "platform/error.h"
#include "tests/fakes/fake_file_system.h"
#include "tests/fakes/fake_printer_system.h"
#include "tests/fakes/fake_renderer.h"
#include "tests/support/test_support.h"
#include "tests/unit/jobs/jobs_test_helpers.h"

namespace vorn::testing {
namespace {

using Lines = std::vector<std::string>;

JobSettings targetSettings(OutputTarget target) {
  JobSettings s;
  s.printerName = "Laser 5";
  s.printToFile = target != OutputTarget::spoolerDevice;
  s.directToDisk = target == OutputTarget::directToDisk;
  return s;
}

class PrintJobsTest : public ::testing::Test {
 protected:
  PrintJobsTest() { printers.printerName = "Laser 5"; }

  PrintJobs& jobs(JobSettings settings) {
    jobs_ = std::make_unique<PrintJobs>(std::move(settings), printers, files, renderer, events.log);
    jobs_->setReportName("Daily");
    jobs_->setOutputFileName("/out/Daily.dat");
    return *jobs_;
  }

  RecordedEventLog events;
  fakes::FakePrinterSystem printers;
  fakes::FakeFileSystem files;
  fakes::FakeRenderer renderer;

 private:
  std::unique_ptr<PrintJobs> jobs_;
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

class RendererTargets : public PrintJobsTest, public ::testing::WithParamInterface<OutputTarget> {};

TEST_P(RendererTargets, JobRunsThroughTheRendererOnItsOwnDeviceContext) {
  PrintJobs& job = jobs(targetSettings(GetParam()));
  job.jobstart(0x44);
  ASSERT_TRUE(job.jobOpen());
  EXPECT_EQ(printers.dcsCreated, 1);  // for "Laser 5": the fake makes none for another printer
  EXPECT_FALSE(printers.lastDCHadInit);
  EXPECT_EQ(renderer.docName, "Vorn: Daily");
  EXPECT_EQ(renderer.outputFileName, "/out/Daily.dat");
  EXPECT_EQ(renderer.options, 0x44u);
  EXPECT_EQ(printers.dcsLive, 1);

  job.jobdata(bytesOf("abc"), false);
  job.jobdata(bytesOf("def"), true);
  EXPECT_EQ(renderer.rendered, "abcdef");
  EXPECT_EQ(renderer.dataCalls, 2);

  job.jobend();
  EXPECT_FALSE(job.jobOpen());
  EXPECT_EQ(renderer.ends, 1);
  EXPECT_EQ(printers.dcsLive, 0);
  EXPECT_TRUE(events.lines().empty());
  EXPECT_TRUE(files.empty());
}

TEST_P(RendererTargets, FailedCreateDCLeavesTheJobClosed) {
  printers.failCreateDC = true;
  PrintJobs& job = jobs(targetSettings(GetParam()));
  job.jobstart(0);
  EXPECT_FALSE(job.jobOpen());
  EXPECT_EQ(renderer.starts, 0);
  EXPECT_EQ(events.lines(), (Lines{"Error while initializing printing - createDC failed"}));
}

TEST_P(RendererTargets, RefusedStartDeletesTheDeviceContext) {
  renderer.startResult = -2;
  PrintJobs& job = jobs(targetSettings(GetParam()));
  job.jobstart(0);
  EXPECT_FALSE(job.jobOpen());
  EXPECT_EQ(printers.dcsCreated, 1);
  EXPECT_EQ(printers.dcsLive, 0);
  EXPECT_EQ(events.lines(), (Lines{"Error while initializing printing - VornPrintStart failed|-2"}));
  job.jobend();
  EXPECT_EQ(renderer.ends, 0);
}

TEST_P(RendererTargets, RenderingFailureEndsTheJobAtOnce) {
  renderer.dataResult = -1;
  renderer.failDataAtCall = 1;
  PrintJobs& job = jobs(targetSettings(GetParam()));
  job.jobstart(0);
  job.jobdata(bytesOf("one"), false);
  EXPECT_TRUE(job.jobOpen());
  job.jobdata(bytesOf("two"), false);
  EXPECT_FALSE(job.jobOpen());
  EXPECT_EQ(renderer.ends, 1);
  EXPECT_EQ(printers.dcsLive, 0);
  job.jobdata(bytesOf("three"), true);
  EXPECT_EQ(renderer.rendered, "onetwo");
  EXPECT_EQ(events.lines(), (Lines{"Error while printing - VornPrintData failed|-1"}));
}

TEST_P(RendererTargets, EmptyBlockStillReachesTheRenderer) {
  PrintJobs& job = jobs(targetSettings(GetParam()));
  job.jobstart(0);
  job.jobdata({}, true);
  EXPECT_EQ(renderer.dataCalls, 1);
}

TEST_P(RendererTargets, EveryJobGetsAFreshDeviceContext) {
  PrintJobs& job = jobs(targetSettings(GetParam()));
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

TEST_F(PrintJobsTest, ClosedJobIgnoresDataAndEnd) {
  PrintJobs& job = jobs(targetSettings(OutputTarget::spoolerDevice));
  job.jobdata(bytesOf("x"), true);
  job.jobend();
  EXPECT_EQ(renderer.dataCalls, 0);
  EXPECT_EQ(renderer.ends, 0);
  EXPECT_TRUE(events.lines().empty());
}

TEST_F(PrintJobsTest, DirectToDiskWritesTranslatedTextToTheOutputFile) {
  JobSettings s = targetSettings(OutputTarget::directToDisk);
  s.jetform = true;
  PrintJobs& job = jobs(s);
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
  EXPECT_EQ(renderer.starts, 0);
  EXPECT_TRUE(events.lines().empty());
}

TEST_F(PrintJobsTest, DirectToDiskReplacesAnEarlierFileOfTheSameName) {
  PrintJobs& job = jobs(targetSettings(OutputTarget::directToDisk));
  for (const char* text : {"first report, longer", "second"}) {
    job.jobstart(0);
    job.jobdata(bytesOf(text), true);
    job.jobend();
  }
  EXPECT_EQ(files.content("/out/Daily.dat"), "second");
}

TEST_F(PrintJobsTest, DirectToDiskOpenFailureReportsTheFileCause) {
  files.createError = platform::kErrorSharingViolation;
  PrintJobs& job = jobs(targetSettings(OutputTarget::directToDisk));
  job.jobstart(0);
  EXPECT_FALSE(job.jobOpen());
  EXPECT_EQ(events.lines(),
            (Lines{"Error opening outfile - VornPrintStart failed|" +
                   std::to_string(FileException::sharingViolation)}));
  job.jobdata(bytesOf("x"), true);
  EXPECT_TRUE(files.writeSizes.empty());
}

TEST_F(PrintJobsTest, DocumentNameOfEmptyReport) {
  PrintJobs& job = jobs(targetSettings(OutputTarget::spoolerDevice));
  job.setReportName("");
  EXPECT_EQ(job.documentName(), "Vorn: ");
  job.jobstart(0);
  EXPECT_EQ(renderer.docName, "Vorn: ");
}

// A failed write of the output file ends the agent as a framework exception.
TEST(PrintJobsDeathTest, FailedDiskWriteIsFatal) {
  test::TempRoot root;  // the fatal report also goes to the event log under the root
  EXPECT_EXIT(
      {
        RecordedEventLog events;
        fakes::FakePrinterSystem printers;
        fakes::FakeFileSystem files;
        fakes::FakeRenderer renderer;
        files.writeError = platform::kErrorDiskFull;
        PrintJobs job(targetSettings(OutputTarget::directToDisk), printers, files, renderer, events.log);
        job.setOutputFileName("out");
        job.jobstart(0);
        job.jobdata(bytesOf("text"), false);
      },
      ::testing::ExitedWithCode(255), "C Exception");
}

}  // namespace
}  // namespace vorn::testing
