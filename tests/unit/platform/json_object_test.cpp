#include "platform/posix/json_object.h"

#include <gtest/gtest.h>

namespace vorn::platform::posix {
namespace {

TEST(JsonObject, TextsNumbersAndFlagsSurviveARoundTrip) {
  JsonObject object;
  object.set("ImagePath", "C:\\Vorn \"Print\"\\Service.exe\n\x01\xc3\xa9");
  object.set("startTime", std::int64_t{9007199254740993});
  object.set("Deleted", true);
  object.set("Type", std::int64_t{16});
  object.set("Type", std::int64_t{32});  // replaced in place
  const std::string text = object.serialize();
  EXPECT_EQ(text, "{\"ImagePath\":\"C:\\\\Vorn \\\"Print\\\"\\\\Service.exe\\n\\u0001\xc3\xa9\",\"startTime\":9007199254740993,"
                  "\"Deleted\":true,\"Type\":32}\n");
  const auto parsed = JsonObject::parse(text);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(*parsed->text("ImagePath"), *object.text("ImagePath"));
  EXPECT_EQ(parsed->integer("startTime"), 9007199254740993);
  EXPECT_EQ(parsed->boolean("Deleted"), true);
  EXPECT_EQ(parsed->integer("Deleted"), std::nullopt);  // a member of another type is no answer
}

TEST(JsonObject, EscapesAndNullsAreReadAsJsonHasThem) {
  const auto parsed = JsonObject::parse(" { \"a\" : \"\\u00e9\\ud83d\\ude00\\/\" , \"b\" : null , \"c\":-5 } ");
  ASSERT_TRUE(parsed);
  EXPECT_EQ(*parsed->text("a"), "\xc3\xa9\xf0\x9f\x98\x80/");
  EXPECT_EQ(parsed->text("b"), nullptr);
  EXPECT_EQ(parsed->integer("c"), -5);
}

TEST(JsonObject, AnythingButOneFlatObjectIsRefused) {
  for (const char* text : {"", "{", "{\"a\":1", "{\"a\":1,}", "{\"a\":1} x", "[1]", "{\"a\":[1]}", "{\"a\":{}}",
                           "{\"a\":1.5}", "{\"a\":1e3}", "{\"a\":\"\\ud83d\"}", "{\"a\":\"\\q\"}", "{\"a\":\"open}",
                           "{\"a\":\"\x01\"}", "{a:1}", "{\"a\":99999999999999999999}"}) {
    EXPECT_FALSE(JsonObject::parse(text)) << text;
  }
  EXPECT_TRUE(JsonObject::parse("{}"));
}

}  // namespace
}  // namespace vorn::platform::posix
