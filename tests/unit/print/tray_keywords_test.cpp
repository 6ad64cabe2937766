#include "platform/posix/print/tray_keywords.h"

#include <gtest/gtest.h>

namespace vorn::platform::posix {
namespace {

struct TrayCase {
  int code;
  const char* keyword;  // null: no media-source
};

class TrayKeywordTest : public ::testing::TestWithParam<TrayCase> {};

TEST_P(TrayKeywordTest, MapsTheTrayCode) {
  const auto [code, keyword] = GetParam();
  const auto result = mediaSourceKeyword(static_cast<std::int16_t>(code));
  if (keyword == nullptr) {
    EXPECT_FALSE(result.has_value()) << "code " << code << " gave " << result.value_or("");
  } else {
    ASSERT_TRUE(result.has_value()) << "code " << code;
    EXPECT_EQ(*result, keyword);
  }
}

INSTANTIATE_TEST_SUITE_P(Table, TrayKeywordTest,
                         ::testing::Values(TrayCase{1, "top"}, TrayCase{2, "bottom"}, TrayCase{3, "middle"},
                                           TrayCase{4, "manual"}, TrayCase{5, "envelope"}, TrayCase{6, "manual"},
                                           TrayCase{7, "auto"}, TrayCase{8, "main-roll"},
                                           TrayCase{9, "by-pass-tray"}, TrayCase{10, "alternate"},
                                           TrayCase{11, "large-capacity"}, TrayCase{14, "main"},
                                           TrayCase{15, "auto"}, TrayCase{256, "tray-1"}, TrayCase{257, "tray-2"},
                                           TrayCase{275, "tray-20"}, TrayCase{276, nullptr}, TrayCase{0, nullptr},
                                           TrayCase{12, nullptr}, TrayCase{13, nullptr}, TrayCase{16, nullptr},
                                           TrayCase{255, nullptr}, TrayCase{-1, nullptr}));

}  // namespace
}  // namespace vorn::platform::posix
