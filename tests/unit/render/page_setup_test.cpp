// Document start and end, and the printer settings applied at page start.
#include <algorithm>
#include <string>
#include <vector>

#include "tests/unit/render/render_fixture.h"

namespace vorn::testing {
namespace {

class PageSetupTest : public RenderFixture {};

TEST_F(PageSetupTest, StartSetsTheTextConventionsAndNamesTheDocument) {
  ASSERT_EQ(start(0, "Vorn: PAYROLL"), 0);
  EXPECT_EQ(log().of(Call::SetTextAlign).at(0).value, 0x19);
  EXPECT_EQ(log().of(Call::SetBkMode).at(0).value, 1);
  const auto doc = log().of(Call::StartDoc).at(0);
  EXPECT_EQ(doc.text, "Vorn: PAYROLL");
  EXPECT_FALSE(doc.output.has_value());
  EXPECT_EQ(log().count(Call::StartPage), 0);  // pages open lazily
}

TEST_F(PageSetupTest, PrintToFileNamesTheOutputFile) {
  state.context.outputFileName = "/srv/out/job1.prn";
  ASSERT_EQ(start(OPT_TO_FILE), 0);
  EXPECT_EQ(log().of(Call::StartDoc).at(0).output, std::optional<std::string>("/srv/out/job1.prn"));
}

TEST_F(PageSetupTest, StartFailures) {
  log().failNth(Call::SetTextAlign, 1);
  EXPECT_EQ(start(), -2);
  EXPECT_EQ(log().count(Call::StartDoc), 0);
  EXPECT_EQ(print("A\n"), -1);

  log().failNth(Call::StartDoc, 1);
  EXPECT_EQ(start(), -1);
  EXPECT_FALSE(state.document.docOpen);
  EXPECT_EQ(print("A\n"), -1);
}

TEST_F(PageSetupTest, StartWhileOpenEndsThePreviousDocument) {
  ASSERT_EQ(start(), 0);
  ASSERT_EQ(print("A" + command('C', "3") + command('%', "5") + "B\n"), 0);
  ASSERT_EQ(start(), 0);
  EXPECT_EQ(log().count(Call::EndPage), 1);
  EXPECT_EQ(log().count(Call::EndDoc), 1);
  EXPECT_EQ(log().count(Call::StartDoc), 2);
  EXPECT_TRUE(log().fonts.empty());
  // Everything starts afresh: start values and an empty cache.
  EXPECT_EQ(state.format.strokeWeight, 0);
  EXPECT_EQ(state.format.topMargin, 0);
  EXPECT_EQ(state.fonts.cacheLast, -1);
  EXPECT_EQ(state.document.pagesStarted, 0);
  EXPECT_TRUE(state.format.fontDirty);
}

TEST_F(PageSetupTest, EndIsIdempotent) {
  VornPrintEnd(state);
  EXPECT_TRUE(log().calls.empty());
  ASSERT_EQ(start(), 0);
  VornPrintEnd(state);
  const auto calls = log().calls.size();
  VornPrintEnd(state);
  EXPECT_EQ(log().calls.size(), calls);
  EXPECT_EQ(log().count(Call::EndDoc), 1);
}

TEST_F(PageSetupTest, EndIgnoresDeviceFailures) {
  ASSERT_EQ(start(), 0);
  ASSERT_EQ(print("A\n"), 0);
  log().failEvery(Call::EndPage);
  log().failEvery(Call::EndDoc);
  VornPrintEnd(state);
  EXPECT_FALSE(state.document.docOpen);
  EXPECT_FALSE(state.document.pageOpen);
}

TEST_F(PageSetupTest, MetricsAreReadOnce) {
  ASSERT_EQ(start(), 0);
  const int reads = log().count(Call::GetDeviceCaps);
  log().caps[platform::kVertRes] = 10;
  ASSERT_EQ(print(command('E', "1") + "A\n\fB\n\f"), 0);
  EXPECT_EQ(log().count(Call::GetDeviceCaps), reads);
  EXPECT_EQ(state.document.pageHeight, 6600);
}

TEST_F(PageSetupTest, PaperSourceChangeAppliesAtTheNextPageWithUnsetSelectorsAsNonZero) {
  ASSERT_EQ(start(), 0);
  ASSERT_EQ(print("A\n" + command('"', "1") + "B\n\fC\n"), 0);
  const auto resets = log().of(Call::ResetDC);
  ASSERT_EQ(resets.size(), 1u);
  ASSERT_EQ(printers.propertiesCalls.size(), 2u);
  EXPECT_EQ(printers.propertiesCalls[1].inFields, 0x1201u);
  EXPECT_EQ(resets[0].dmDefaultSource, 8);  // altTray
  EXPECT_EQ(resets[0].dmOrientation, platform::kDmOrientLandscape);
  EXPECT_EQ(resets[0].dmDuplex, platform::kDmDupVertical);
  // The reset comes before page 2 starts, and none before page 1.
  std::vector<Call> order;
  for (const auto& c : log().calls) {
    if (c.kind == Call::StartPage || c.kind == Call::ResetDC) order.push_back(c.kind);
  }
  EXPECT_EQ(order, (std::vector<Call>{Call::StartPage, Call::ResetDC, Call::StartPage}));
  EXPECT_EQ(printers.opens, 1);
  EXPECT_EQ(printers.closes, 1);
  EXPECT_FALSE(state.format.deviceModeDirty);
}

struct SelectorCase {
  const char* name;
  std::string commands;
  std::int16_t orientation, source, duplex;
};

class SelectorTest : public PageSetupTest, public ::testing::WithParamInterface<SelectorCase> {};

TEST_P(SelectorTest, AppliesAllThreeSettings) {
  ASSERT_EQ(start(), 0);
  ASSERT_EQ(print(GetParam().commands + "A\n"), 0);
  const auto resets = log().of(Call::ResetDC);
  ASSERT_EQ(resets.size(), 1u);
  EXPECT_EQ(resets[0].dmOrientation, GetParam().orientation);
  EXPECT_EQ(resets[0].dmDefaultSource, GetParam().source);
  EXPECT_EQ(resets[0].dmDuplex, GetParam().duplex);
  ASSERT_EQ(printers.propertiesCalls.size(), 2u);
  EXPECT_EQ(printers.propertiesCalls[0].mode, platform::kDmOutBuffer);
  EXPECT_EQ(printers.propertiesCalls[1].mode, platform::kDmInBuffer | platform::kDmOutBuffer);
  EXPECT_TRUE(printers.propertiesCalls[1].sameBuffer);
  EXPECT_EQ(printers.propertiesCalls[1].inFields, 0x1201u);
}

INSTANTIATE_TEST_SUITE_P(
    Selectors, SelectorTest,
    ::testing::Values(SelectorCase{"AllZero", command('E', "0") + command('"', "0") + command('q', "0"), 1, 7, 1},
                      SelectorCase{"AllOne", command('E', "1") + command('"', "1") + command('q', "1"), 2, 8, 2},
                      SelectorCase{"PortraitOnly", command('E', "0"), 1, 8, 2},
                      SelectorCase{"OneSidedOnly", command('q', "0"), 2, 8, 1},
                      SelectorCase{"NegativeCountsAsNonZero", command('"', "b"), 2, 8, 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PageSetupTest, DriverWithoutDuplexKeepsItsValueButFieldsAreStillSet) {
  printers.defaults.fields = platform::kDmOrientation | platform::kDmDefaultSource;
  printers.defaults.duplex = 0;
  ASSERT_EQ(start(), 0);
  ASSERT_EQ(print(command('q', "1") + "A\n"), 0);
  ASSERT_EQ(printers.propertiesCalls.size(), 2u);
  EXPECT_EQ(printers.propertiesCalls[1].inFields, 0x1201u);
  EXPECT_EQ(printers.propertiesCalls[1].inDuplex, 0);
}

TEST_F(PageSetupTest, UnchangedSelectorCausesNoReset) {
  ASSERT_EQ(start(), 0);
  ASSERT_EQ(print(command('E', "1") + "A\f" + command('E', "1") + "B\f"), 0);
  EXPECT_EQ(log().count(Call::ResetDC), 1);
}

TEST_F(PageSetupTest, ResetRestoresTextConventionsAndTheFont) {
  ASSERT_EQ(start(), 0);
  ASSERT_EQ(print("A\f" + command('E', "1") + "B\n"), 0);
  const auto& calls = log().calls;
  auto reset = std::find_if(calls.begin(), calls.end(), [](const auto& c) { return c.kind == Call::ResetDC; });
  ASSERT_NE(reset, calls.end());
  const auto noted = std::find_if(calls.begin(), reset, [](const auto& c) { return c.kind == Call::GetCurrentObject; });
  ASSERT_NE(noted, reset);
  std::vector<Call> after;
  for (auto it = reset + 1; it != calls.end() && it->kind != Call::StartPage; ++it) after.push_back(it->kind);
  EXPECT_EQ(after, (std::vector<Call>{Call::SetTextAlign, Call::SelectObject, Call::SetBkMode}));
  EXPECT_EQ((reset + 1)->value, 0x19);
  EXPECT_EQ((reset + 2)->object, log().of(Call::CreateFont).at(0).object);
}

struct SettingsFailure {
  const char* name;
  std::uint32_t openError;
  int failingProperties;
};

class SettingsFailureTest : public PageSetupTest, public ::testing::WithParamInterface<SettingsFailure> {};

TEST_P(SettingsFailureTest, FailsThePageStartAndClosesThePrinter) {
  printers.openError = GetParam().openError;
  printers.failPropertiesCall = GetParam().failingProperties;
  ASSERT_EQ(start(), 0);
  EXPECT_EQ(print(command('E', "1") + "A\n"), -4);
  EXPECT_EQ(printers.opens, printers.closes);
  EXPECT_EQ(log().count(Call::StartPage), 0);
  EXPECT_EQ(log().count(Call::ResetDC), 0);
  EXPECT_TRUE(state.format.deviceModeDirty);
}

INSTANTIATE_TEST_SUITE_P(Failures, SettingsFailureTest,
                         ::testing::Values(SettingsFailure{"OpenPrinter", platform::kErrorAccessDenied, 0},
                                           SettingsFailure{"ReadDefaults", 0, 1},
                                           SettingsFailure{"ApplySettings", 0, 2}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PageSetupTest, WithoutASettingsBufferChangesStayPending) {
  state.context.deviceMode = nullptr;
  ASSERT_EQ(start(), 0);
  ASSERT_EQ(print(command('E', "1") + "A\n"), 0);
  EXPECT_EQ(log().count(Call::ResetDC), 0);
  EXPECT_EQ(printers.opens, 0);
  EXPECT_TRUE(state.format.deviceModeDirty);
}

TEST_F(PageSetupTest, ResetFailureIsIgnored) {
  ASSERT_EQ(start(), 0);
  log().failEvery(Call::ResetDC);
  EXPECT_EQ(print(command('E', "1") + "A\n"), 0);
  EXPECT_FALSE(state.format.deviceModeDirty);
}

}  // namespace
}  // namespace vorn::testing
