#include "common/profile_key_names.h"

#include <gtest/gtest.h>

#include <string>

namespace vorn {
namespace {

struct KeyCase {
  const char* what;
  std::string ansiName;
  std::string unicodeName;
  ProfileKeyFault fault;
  std::string shown;
};

TEST(ProfileKeyNames, FaultAndDisplayName) {
  const std::string longest(kProfileKeyNameMax, 'p');
  const KeyCase cases[] = {
      {"plain", "LASER1", "LASER1", ProfileKeyFault::none, "LASER1"},
      {"Windows-1252 letters", "B\xFC" "ro", "B\xC3\xBC" "ro", ProfileKeyFault::none, "B\xFC" "ro"},
      {"a question mark of its own", "why?", "why?", ProfileKeyFault::none, "why?"},
      {"the longest name", longest, longest, ProfileKeyFault::none, longest},
      {"one character longer", longest + "p", longest + "p", ProfileKeyFault::tooLong, longest + "p"},
      {"a double quote", "quo\"te", "quo\"te", ProfileKeyFault::doubleQuote, "quo\"te"},
      // Two Chinese names both read "???" through the ANSI calls.
      {"characters the code page lacks", "???", "\xE6\x89\x93\xE5\x8D\xB0\xE6\x9C\xBA",
       ProfileKeyFault::notRepresentable, "<U+6253><U+5370><U+673A>"},
      {"one such character among others", "Dru?k", "Dru\xC4\x8Dk", ProfileKeyFault::notRepresentable,
       "Dru<U+010D>k"},
      // Windows' best-fit conversion turns A with a macron into a plain A.
      {"a best-fit conversion", "Amt", "\xC4\x80mt", ProfileKeyFault::notRepresentable, "<U+0100>mt"},
      {"a malformed byte", "a?", "a\xFF", ProfileKeyFault::notRepresentable, "a<0xFF>"},
      {"not representable comes first", "\"?", "\"\xE2\x98\x83", ProfileKeyFault::notRepresentable,
       "\"<U+2603>"},
  };
  for (const KeyCase& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(profileKeyFault(c.ansiName, c.unicodeName), c.fault);
    EXPECT_EQ(profileKeyDisplayName(c.ansiName, c.unicodeName), c.shown);
    EXPECT_EQ(profileKeyFaultText(c.fault).empty(), c.fault == ProfileKeyFault::none);
  }
}

}  // namespace
}  // namespace vorn
