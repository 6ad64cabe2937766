// A report from the host's messages to its direct-to-disk file, through the
// real intake and job.
#include <gtest/gtest.h>

#include <string>

#include "agent/jobs/print_intake.h"
#include "agent/jobs/print_job.h"
#include "agent/render/renderer.h"
#include "tests/fakes/fake_clock.h"
#include "tests/fakes/fake_file_system.h"
#include "tests/fakes/fake_host_link.h"
#include "tests/fakes/fake_printer_system.h"
#include "tests/unit/jobs/jobs_test_helpers.h"

namespace vorn::testing {
namespace {

TEST(IntakeToDisk, ReportSpanningMessagesLandsInItsCountedFile) {
  JobSettings settings;
  settings.printToFile = settings.directToDisk = settings.jetform = true;
  settings.ptfOpt = 6;
  settings.ptfPath = "/spool/";

  RecordedEventLog events;
  fakes::FakePrinterSystem printers;
  fakes::FakeFileSystem files;
  fakes::FakeClock clock(99998);
  fakes::HostLinkScript host;
  fakes::FakeHostLink link{host};
  files.add("/spool/Pay_Run-99998.lis", "older");
  Renderer renderer(printers, files);
  PrintJob job(settings, printers, files, renderer, events.log);
  PrintIntake intake(settings, job, &link, events.log, clock, files);

  const std::string head = std::string("\x01\x00\x00\x00\x02\x20", 6) + "PAY " +
                           "Pay Run                       " + "\r\nPage 1\f";
  const std::string tail = std::string("\x01\x00\x00\x00", 4) + "\x0e\x03Page 2\f\x02/";
  for (const std::string& message : {head, tail}) {
    const Bytes bytes = bytesOf(message);
    intake.receive(Variant{kVtByteArray, bytes});
  }

  EXPECT_FALSE(job.jobOpen());
  EXPECT_EQ(files.content("/spool/Pay_Run-99998.lis"), "older");
  EXPECT_EQ(files.content("/spool/Pay_Run-99999.lis"),
            "\r\nPage 1\r\n^EJECT\r\n   Page 2\r\n");
  EXPECT_EQ(files.openFiles, 0);
  EXPECT_EQ(host.messages.size(), 2u);
  EXPECT_TRUE(events.lines().empty());
  EXPECT_EQ(printers.dcsCreated, 0);
}

}  // namespace
}  // namespace vorn::testing
