// Numbers in the printer's PDF: no exponent, no "-0", no trailing zeros, and
// the precision asked for.
#include <gtest/gtest.h>

#include "pdf/number.h"

namespace vorn::pdf {
namespace {

struct NumberCase {
  double value;
  int decimals;
  const char* text;
};

class PdfNumberTest : public ::testing::TestWithParam<NumberCase> {};

TEST_P(PdfNumberTest, IsWrittenAsPdfReadsIt) {
  std::string out = "x ";
  appendNumber(out, GetParam().value, GetParam().decimals);
  EXPECT_EQ(out, std::string("x ") + GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Values, PdfNumberTest,
    ::testing::Values(NumberCase{0, 3, "0"}, NumberCase{-0.0, 3, "0"}, NumberCase{-0.0001, 3, "0"},
                      NumberCase{600, 3, "600"}, NumberCase{-1200, 3, "-1200"}, NumberCase{7.2, 3, "7.2"},
                      NumberCase{0.12, 3, "0.12"}, NumberCase{-0.0625, 3, "-0.063"},
                      NumberCase{1e-5, 3, "0"}, NumberCase{1e-5, 9, "0.00001"},
                      NumberCase{72.0 / 203, 9, "0.354679803"}, NumberCase{841.8897637795, 9, "841.88976378"},
                      NumberCase{123456789.5, 3, "123456789.5"}, NumberCase{999.9996, 3, "1000"},
                      NumberCase{1e300, 3, "0"}));

}  // namespace
}  // namespace vorn::pdf
