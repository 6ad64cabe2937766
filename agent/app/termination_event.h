// The termination event the print service hands its agent: the environment
// variable TerminateMutex names it in nine decimal digits. When it is
// signalled the agent ends in order, as on the host's Terminate.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

namespace vorn::platform {
class Event;
}

namespace vorn {

// The handle value in a TerminateMutex value: exactly nine digits, or none.
std::optional<std::uint32_t> terminationEventHandle(std::string_view value);

// The event this process inherited under TerminateMutex; null when the
// variable is absent or malformed, or names no event of this process.
std::unique_ptr<platform::Event> inheritedTerminationEvent();

}  // namespace vorn
