// The end of the agent after an unrecoverable failure, and the convention by
// which the agent's entry points turn an escaping exception into one.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <utility>

#include "agent/diag/exceptions.h"
#include "agent/diag/fatal_sites.h"
#include "platform/error.h"

namespace vorn {

// Reports the failure to an operator (the fatal message, with the thread's
// last error) and ends the process with exit code 65535. Never returns.
// On POSIX the message goes to standard error and, as one error event under
// the source "VORN", to the event log; the exit status is then 255.
[[noreturn]] void FatalError(std::string_view file, std::string_view description, int line);

// The pieces of the fatal report, exposed for tests.

// The program's name from its full path: after the last backslash (or slash),
// up to the first period.
std::string FatalProgramName(std::string_view programPath);
// A source unit's name: after its last backslash (or slash).
std::string FatalSourceName(std::string_view file);
// The last-error line's text: "none" for 0, otherwise ErrorCodeText(code);
// followed by " [<code in lower-case hex>]".
std::string FatalLastErrorText(std::uint32_t lastError);
// The whole fatal message for the given pieces.
std::string FatalErrorMessage(std::string_view programName, std::string_view description,
                              std::string_view sourceName, int line,
                              std::string_view lastErrorText);

// Runs `body`; an exception escaping it ends the agent through FatalError
// at `site`: "COM Exception" for a ComError (whose code becomes the last
// error first), "C Exception" for a FrameworkException, "Unknown Exception"
// for anything else.
template <typename Body>
decltype(auto) guardEntryPoint(FatalSite site, Body&& body) {
  try {
    return std::forward<Body>(body)();
  } catch (const ComError& error) {
    platform::setLastError(static_cast<std::uint32_t>(error.code()));
    FatalError(site.unit, "COM Exception", site.line);
  } catch (const FrameworkException&) {
    FatalError(site.unit, "C Exception", site.line);
  } catch (...) {
    FatalError(site.unit, "Unknown Exception", site.line);
  }
}

}  // namespace vorn
