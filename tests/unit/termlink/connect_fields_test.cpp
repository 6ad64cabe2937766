#include "termlink/connect_string.h"

#include <gtest/gtest.h>

namespace vorn::termlink {
namespace {

TEST(ConnectFields, ReadsQuotedValuesWithDoubledQuotes) {
  const auto fields = ConnectFields::parse(R"(Profile="p1",Server="",Client="a""b",Online="x,y=z",Port="-5")");
  ASSERT_TRUE(fields);
  EXPECT_EQ(fields->get("Profile"), "p1");
  EXPECT_EQ(fields->get("server"), "");
  EXPECT_EQ(fields->get("CLIENT"), "a\"b");
  EXPECT_EQ(fields->get("Online"), "x,y=z");
  EXPECT_EQ(fields->get("Port"), "-5");
  EXPECT_EQ(fields->get("Location"), std::nullopt);
}

TEST(ConnectFields, RejectsMalformedText) {
  for (const char* text : {"", "Profile=p1", "Profile=\"p1", "=\"x\"", "A=\"1\"B=\"2\"", "A=\"1\",", "A=\"1\"\"",
                           "A=\"1\" ,B=\"2\""}) {
    EXPECT_FALSE(ConnectFields::parse(text)) << text;
  }
}

}  // namespace
}  // namespace vorn::termlink
