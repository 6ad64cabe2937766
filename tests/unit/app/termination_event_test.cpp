#include "agent/app/termination_event.h"

#include <gtest/gtest.h>

namespace vorn {
namespace {

TEST(TerminationEventHandle, ExactlyNineDigits) {
  struct Case {
    const char* value;
    std::optional<std::uint32_t> handle;
  };
  for (const Case c : {Case{"000000003", 3u}, Case{"123456789", 123456789u}, Case{"999999999", 999999999u},
                       Case{"", std::nullopt}, Case{"00000003", std::nullopt}, Case{"0000000003", std::nullopt},
                       Case{"00000000x", std::nullopt}, Case{" 00000003", std::nullopt},
                       Case{"-00000003", std::nullopt}}) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(terminationEventHandle(c.value), c.handle);
  }
}

}  // namespace
}  // namespace vorn
