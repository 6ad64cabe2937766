#include "agent/jobs/printer_preparation.h"

#include <gtest/gtest.h>

#include "platform/error.h"
#include "tests/fakes/jobs_fake_printer_system.h"
#include "tests/unit/jobs/jobs_test_helpers.h"

namespace vorn::testing {
namespace {

using Lines = std::vector<std::string>;

TEST(PrinterPreparation, ReadsTheDefaultSettingsAndClosesThePrinter) {
  RecordedEventLog events;
  JobsFakePrinterSystem printers;
  printers.ledger->sizeResult = 300;
  auto mode = PrepareDeviceMode(printers, "Laser 5", events.log);
  ASSERT_NE(mode, nullptr);
  EXPECT_EQ(printers.ledger->openedName, "Laser 5");
  EXPECT_EQ(mode->totalSize(), 300u);
  EXPECT_EQ(mode->orientation(), platform::kDmOrientLandscape);  // filled by the driver
  EXPECT_EQ(printers.ledger->lastFillMode, platform::kDmOutBuffer);
  EXPECT_EQ(printers.ledger->printersOpen, 0);
  EXPECT_TRUE(events.lines().empty());
}

struct FailureCase {
  const char* name;
  std::uint32_t openError;
  int sizeResult;
  int fillResult;
  Lines events;
};

TEST(PrinterPreparation, EachFailureWritesOneEventAndClosesThePrinter) {
  const FailureCase cases[] = {
      {"unknown printer", platform::kErrorInvalidPrinterName, 300, platform::kIdOk,
       {"OpenPrinter failed|Laser 5"}},
      {"size query fails", platform::kErrorSuccess, -1, platform::kIdOk, {"initial docprops failed"}},
      {"fill fails", platform::kErrorSuccess, 300, -1, {"docprops failed|1804"}},
      {"fill returns other than IDOK", platform::kErrorSuccess, 300, 0, {"docprops failed|1804"}},
  };
  for (const auto& c : cases) {
    RecordedEventLog events;
    JobsFakePrinterSystem printers;
    printers.ledger->openError = c.openError;
    printers.ledger->sizeResult = c.sizeResult;
    printers.ledger->fillResult = c.fillResult;
    printers.ledger->fillLastError = 1804;
    // Closing the printer succeeds and leaves a different last error behind.
    printers.ledger->closeLastError = platform::kErrorSuccess;
    EXPECT_EQ(PrepareDeviceMode(printers, "Laser 5", events.log), nullptr) << c.name;
    EXPECT_EQ(events.lines(), c.events) << c.name;
    EXPECT_EQ(printers.ledger->printersOpen, 0) << c.name;
  }
}

}  // namespace
}  // namespace vorn::testing
