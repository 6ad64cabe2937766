// What spoolcmd prints for the service's replies to show, run and kill.
// Pure: the reply is exactly the bytes received, and nothing beyond them is
// read. Profile names are printed as they are, never as a format.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace vorn {

// A reply too short for what its code needs: the pipe call counts as failed
// with this code (ERROR_INVALID_DATA).
inline constexpr std::uint32_t kErrorInvalidData = 13;

// Everything show prints after its first line feed: for a failed pipe call
// (`callError` not 0) the "not found" line, for an ErrorReply the service's
// error, else the listing. A listing ends at the first record that is cut,
// runs past the reply or has no zero; the records before it are printed.
std::string ShowReplyText(std::uint32_t callError, std::span<const std::uint8_t> reply);

// Run's or kill's printing (`what`: "Run process" or "Kill process") and
// result: 0 when the service did it, the error code of its ErrorReply, or
// the pipe call's error.
struct ProfileReplyOutcome {
  std::string text;
  std::uint32_t result = 0;
  // "  ok" may follow: never after an error line, whatever code it carries.
  bool succeeded = false;
};
ProfileReplyOutcome ProfileReplyText(std::string_view what, std::uint32_t callError,
                                     std::span<const std::uint8_t> reply);

}  // namespace vorn
