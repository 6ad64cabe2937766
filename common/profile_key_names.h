// Which printer profile keys the print service leaves out when it starts the
// active profiles, and why. A tool that checks profiles applies the same rule,
// so that what it reports is what the service does.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vorn {

// The longest profile key name the service starts an agent for: its name
// buffer holds 255 characters with the terminating zero.
inline constexpr std::size_t kProfileKeyNameMax = 254;

enum class ProfileKeyFault {
  none,
  // The name has characters the ANSI code page (Windows-1252) lacks: its ANSI
  // form ("???") names no key, or another key, and two such names collapse
  // into one.
  notRepresentable,
  // A double quote would end the agent's /profile="…" argument early.
  doubleQuote,
  // Longer than kProfileKeyNameMax.
  tooLong,
};

// The fault of a profile key, the first that applies in the order above.
//   ansiName: the key's name as the ANSI registry calls give it (RegEnumKeyExA);
//   unicodeName: the same key's name in UTF-8 (RegEnumKeyExW).
ProfileKeyFault profileKeyFault(std::string_view ansiName, std::string_view unicodeName);

// The reason in words, for an event or a finding; empty for none.
std::string_view profileKeyFaultText(ProfileKeyFault fault);

// The key's name as an 8-bit ANSI text for an event: the ANSI name when it is
// the key's whole name; otherwise the Unicode name with each character the
// code page lacks written as <U+XXXX> (and each malformed byte as <0xXX>).
std::string profileKeyDisplayName(std::string_view ansiName, std::string_view unicodeName);

}  // namespace vorn
