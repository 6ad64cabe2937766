#include "agent/app/termination_event.h"

#include <algorithm>
#include <cstdlib>

#include "platform/event.h"

namespace vorn {
namespace {

constexpr std::size_t kHandleDigits = 9;

}  // namespace

std::optional<std::uint32_t> terminationEventHandle(std::string_view value) {
  const auto digit = [](char c) { return c >= '0' && c <= '9'; };
  if (value.size() != kHandleDigits || !std::all_of(value.begin(), value.end(), digit)) return std::nullopt;
  std::uint32_t handle = 0;
  for (const char digit : value) handle = handle * 10 + static_cast<std::uint32_t>(digit - '0');
  return handle;
}

std::unique_ptr<platform::Event> inheritedTerminationEvent() {
  const char* value = std::getenv("TerminateMutex");
  if (value == nullptr) return nullptr;
  const auto handle = terminationEventHandle(value);
  return handle ? platform::inheritedEvent(*handle) : nullptr;
}

}  // namespace vorn
