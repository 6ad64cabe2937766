#include "agent/hostlink/link_arguments.h"

#include <gtest/gtest.h>

namespace vorn {
namespace {

PrinterProfile sampleProfile() {
  PrinterProfile p;
  p.name = "p1";
  p.Machine = "hostA";
  p.CommType = true;
  p.Online = "ONL";
  p.User = "u1";
  p.Location = "L1";
  p.Direct = false;
  p.Port = 5001;
  return p;
}

TEST(ConnectString, ReadsAsTheDocumentedExample) {
  EXPECT_EQ(BuildConnectString(sampleProfile()),
            R"(Profile="p1",Server="hostA",CommType="socket",Online="ONL",Client="u1",Location="L1",Direct="no",Port="5001")");
}

struct ConnectCase {
  const char* what;
  void (*change)(PrinterProfile&);
  const char* expected;
};

class ConnectStringCases : public ::testing::TestWithParam<ConnectCase> {};

TEST_P(ConnectStringCases, Builds) {
  PrinterProfile p = sampleProfile();
  GetParam().change(p);
  EXPECT_EQ(BuildConnectString(p), GetParam().expected) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Values, ConnectStringCases,
    ::testing::Values(
        ConnectCase{"quote in user doubled", [](PrinterProfile& p) { p.User = "a\"b"; },
                    R"(Profile="p1",Server="hostA",CommType="socket",Online="ONL",Client="a""b",Location="L1",Direct="no",Port="5001")"},
        ConnectCase{"pipe and direct", [](PrinterProfile& p) { p.CommType = false; p.Direct = true; },
                    R"(Profile="p1",Server="hostA",CommType="pipe",Online="ONL",Client="u1",Location="L1",Direct="yes",Port="5001")"},
        ConnectCase{"absent port is zero", [](PrinterProfile& p) { p.Port = 0; },
                    R"(Profile="p1",Server="hostA",CommType="socket",Online="ONL",Client="u1",Location="L1",Direct="no",Port="0")"},
        ConnectCase{"negative port keeps its sign", [](PrinterProfile& p) { p.Port = -12; },
                    R"(Profile="p1",Server="hostA",CommType="socket",Online="ONL",Client="u1",Location="L1",Direct="no",Port="-12")"},
        ConnectCase{"empty values and commas kept", [](PrinterProfile& p) { p.Machine = ""; p.Online = "a,b=c"; },
                    R"(Profile="p1",Server="",CommType="socket",Online="a,b=c",Client="u1",Location="L1",Direct="no",Port="5001")"}));

TEST(ConnectString, QuotesOnlyDoubleQuotes) {
  EXPECT_EQ(QuoteConnectValue(""), "\"\"");
  EXPECT_EQ(QuoteConnectValue("\""), "\"\"\"\"");
  EXPECT_EQ(QuoteConnectValue("a\\b'c\x01"), "\"a\\b'c\x01\"");
}

TEST(FormsText, CutsAndPadsEachFormToFour) {
  const struct {
    const char* main;
    const char* alt;
    const char* expected;
  } cases[] = {
      {"AB", "WXYZ1", "AB  WXYZ"},
      {"", "", "        "},
      {"ABCD", "", "ABCD    "},
      {"LONGFORM", "X", "LONGX   "},
  };
  for (const auto& c : cases) EXPECT_EQ(BuildFormsText(c.main, c.alt), c.expected) << c.main << "/" << c.alt;
  // A C string ends at its first NUL.
  EXPECT_EQ(BuildFormsText(std::string_view("A\0BC", 4), "Z"), "A   Z   ");
}

TEST(DeviceFlags, AddsEachFlagToTheFixedBit) {
  const struct {
    bool restrict, twoSide, twoTray;
    std::int32_t expected;
  } cases[] = {
      {false, false, false, 2}, {true, false, false, 10}, {false, true, false, 6},
      {false, false, true, 3},  {true, true, true, 15},
  };
  for (const auto& c : cases) {
    PrinterProfile p;
    p.Restrict = c.restrict;
    p.TwoSide = c.twoSide;
    p.TwoTray = c.twoTray;
    EXPECT_EQ(BuildDeviceFlags(p), c.expected);
  }
}

}  // namespace
}  // namespace vorn
