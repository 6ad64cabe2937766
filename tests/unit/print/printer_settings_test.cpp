#include "platform/posix/print/printer_settings.h"

#include <gtest/gtest.h>

#include <cstring>

namespace vorn::platform::posix {
namespace {

PrinterDescription printer(bool duplex) {
  PrinterDescription p;
  p.name = "LASER";
  p.resolution = 300;
  p.paperSize = kDmPaperLetter;
  p.duplexSupported = duplex;
  return p;
}

TEST(PrinterSettingsTest, DefaultsNameTheirFieldsAndDuplexOnlyWhenSupported) {
  for (const bool duplex : {false, true}) {
    DeviceMode mode(kDeviceModeSize);
    fillDefaults(printer(duplex), mode);
    EXPECT_EQ(mode.fields() & kDmDuplex, duplex ? kDmDuplex : 0u);
    const std::uint32_t always = kDmOrientation | kDmPaperSize | kDmDefaultSource | kDmPrintQuality | kDmYResolution;
    EXPECT_EQ(mode.fields() & always, always);
    EXPECT_EQ(mode.orientation(), kDmOrientPortrait);
    EXPECT_EQ(mode.paperSize(), kDmPaperLetter);
    EXPECT_EQ(mode.printQuality(), 300);
    EXPECT_EQ(mode.yResolution(), 300);
    EXPECT_EQ(std::memcmp(mode.bytes().data(), "LASER", 6), 0) << "device name";
  }
}

TEST(PrinterSettingsTest, FillingKeepsTheRecordSizes) {
  DeviceMode mode(kDeviceModeSize + 20);
  const std::vector<std::byte> before(mode.bytes().begin() + 36, mode.bytes().begin() + 40);
  fillDefaults(printer(false), mode);
  EXPECT_TRUE(std::equal(before.begin(), before.end(), mode.bytes().begin() + 36));
}

TEST(PrinterSettingsTest, MergeTakesOnlyFlaggedMembersInPlace) {
  DeviceMode mode(kDeviceModeSize);
  fillDefaults(printer(true), mode);
  mode.setOrientation(kDmOrientLandscape);
  mode.setDefaultSource(4);
  mode.setDuplex(kDmDupVertical);
  mode.setPaperSize(kDmPaperA4);  // not flagged below: must not be taken
  mode.setFields(kDmOrientation | kDmDefaultSource | kDmDuplex);
  mergeSettings(printer(true), mode, mode);
  EXPECT_EQ(mode.orientation(), kDmOrientLandscape);
  EXPECT_EQ(mode.defaultSource(), 4);
  EXPECT_EQ(mode.duplex(), kDmDupVertical);
  EXPECT_EQ(mode.paperSize(), kDmPaperLetter);
  EXPECT_NE(mode.fields() & kDmPaperSize, 0u) << "the result carries every member the printer has";
}

TEST(PrinterSettingsTest, MergeIgnoresDuplexOnASimplexPrinterAndInvalidValues) {
  DeviceMode in(kDeviceModeSize);
  in.setFields(kDmDuplex | kDmOrientation | kDmPaperSize | kDmPrintQuality);
  in.setDuplex(kDmDupVertical);
  in.setOrientation(7);
  in.setPaperSize(999);
  in.setPrintQuality(-3);  // a draft-quality code, not a resolution
  DeviceMode out(kDeviceModeSize);
  mergeSettings(printer(false), in, out);
  EXPECT_EQ(out.fields() & kDmDuplex, 0u);
  EXPECT_EQ(out.orientation(), kDmOrientPortrait);
  EXPECT_EQ(out.paperSize(), kDmPaperLetter);
  EXPECT_EQ(out.printQuality(), 300);
}

TEST(PrinterSettingsTest, PageSettingsFollowTheRecord) {
  DeviceMode mode(kDeviceModeSize);
  mode.setFields(kDmOrientation | kDmPaperSize | kDmPrintQuality | kDmDuplex);
  mode.setOrientation(kDmOrientLandscape);
  mode.setPaperSize(kDmPaperA4);
  mode.setPrintQuality(1200);
  mode.setDuplex(kDmDupVertical);
  const PageSettings s = pageSettings(printer(true), &mode);
  EXPECT_EQ(s.orientation, kDmOrientLandscape);
  EXPECT_EQ(s.paperSize, kDmPaperA4);
  EXPECT_EQ(s.resolution, 1200);
  EXPECT_EQ(s.duplex, kDmDupVertical);
  EXPECT_EQ(pageSettings(printer(true), nullptr).resolution, 300);
}

}  // namespace
}  // namespace vorn::platform::posix
