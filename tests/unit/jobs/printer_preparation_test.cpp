#include "agent/jobs/printer_preparation.h"

#include <gtest/gtest.h>

#include "platform/error.h"
#include "tests/fakes/fake_printer_system.h"
#include "tests/unit/jobs/jobs_test_helpers.h"

namespace vorn::testing {
namespace {

using Lines = std::vector<std::string>;

TEST(PrinterPreparation, ReadsTheDefaultSettingsAndClosesThePrinter) {
  RecordedEventLog events;
  fakes::FakePrinterSystem printers;
  printers.printerName = "Laser 5";
  printers.driverSize = 300;
  printers.defaults.orientation = platform::kDmOrientLandscape;
  auto mode = PrepareDeviceMode(printers, "Laser 5", events.log);
  ASSERT_NE(mode, nullptr);
  EXPECT_EQ(printers.opens, 1);  // "Laser 5": the fake opens no other printer
  EXPECT_EQ(mode->totalSize(), 300u);
  EXPECT_EQ(mode->orientation(), platform::kDmOrientLandscape);  // filled by the driver
  ASSERT_FALSE(printers.propertiesCalls.empty());
  EXPECT_EQ(printers.propertiesCalls.back().mode, platform::kDmOutBuffer);
  EXPECT_EQ(printers.opens, printers.closes);
  EXPECT_TRUE(events.lines().empty());
}

struct FailureCase {
  const char* name;
  std::uint32_t openError;
  int failingCall;   // 1: the size query, 2: the fill
  int failedResult;
  Lines events;
};

TEST(PrinterPreparation, EachFailureWritesOneEventAndClosesThePrinter) {
  const FailureCase cases[] = {
      {"unknown printer", platform::kErrorInvalidPrinterName, 0, -1, {"OpenPrinter failed|Laser 5"}},
      {"size query fails", platform::kErrorSuccess, 1, -1, {"initial docprops failed"}},
      {"fill fails", platform::kErrorSuccess, 2, -1, {"docprops failed|1804"}},
      {"fill returns other than IDOK", platform::kErrorSuccess, 2, 0, {"docprops failed|1804"}},
  };
  for (const auto& c : cases) {
    RecordedEventLog events;
    fakes::FakePrinterSystem printers;
    printers.printerName = "Laser 5";
    printers.openError = c.openError;
    printers.failPropertiesCall = c.failingCall;
    printers.failedPropertiesResult = c.failedResult;
    printers.propertiesError = 1804;
    // Closing the printer leaves a different last error (success) behind.
    EXPECT_EQ(PrepareDeviceMode(printers, "Laser 5", events.log), nullptr) << c.name;
    EXPECT_EQ(events.lines(), c.events) << c.name;
    EXPECT_EQ(printers.opens, printers.closes) << c.name;
  }
}

}  // namespace
}  // namespace vorn::testing
