// The end of the agent after an unrecoverable failure, and the convention by
// which the agent's entry points turn an escaping exception into one.
#pragma once

#include <exception>
#include <string_view>
#include <utility>

#include "agent/diag/exceptions.h"
#include "platform/error.h"

namespace vorn {

// Reports the failure to an operator (the fatal message, with the thread's
// last error) and ends the process with exit code 65535. Never returns.
[[noreturn]] void FatalError(std::string_view file, std::string_view description, int line);

// Runs `body`; an exception escaping it ends the agent through FatalError
// with `unit` and `line`: "COM Exception" for a ComError (whose code becomes
// the last error first), "C Exception" for a FrameworkException, "Unknown
// Exception" for anything else.
template <typename Body>
decltype(auto) guardEntryPoint(std::string_view unit, int line, Body&& body) {
  try {
    return std::forward<Body>(body)();
  } catch (const ComError& error) {
    platform::setLastError(static_cast<std::uint32_t>(error.code()));
    FatalError(unit, "COM Exception", line);
  } catch (const FrameworkException&) {
    FatalError(unit, "C Exception", line);
  } catch (...) {
    FatalError(unit, "Unknown Exception", line);
  }
}

}  // namespace vorn
