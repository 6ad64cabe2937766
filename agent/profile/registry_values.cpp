#include "agent/profile/registry_values.h"

#include <array>
#include <cstring>
#include <span>

#include "platform/error.h"

namespace vorn {
namespace {

bool isTextType(std::uint32_t type) {
  return type == platform::kRegSz || type == platform::kRegExpandSz ||
         type == platform::kRegMultiSz;
}

// Whether the data ends as its type requires: one zero byte for a string,
// two for a string list.
bool isTerminated(std::uint32_t type, std::span<const std::uint8_t> data) {
  const std::size_t zeros = type == platform::kRegMultiSz ? 2 : 1;
  if (data.size() < zeros) return false;
  for (std::size_t i = data.size() - zeros; i < data.size(); ++i) {
    if (data[i] != 0) return false;
  }
  return true;
}

}  // namespace

std::string ReadTextValue(platform::RegistryKey& key, std::string_view name, std::size_t maxChars) {
  std::array<std::uint8_t, kProfileTextBytes> buffer{};
  std::uint32_t type = platform::kRegNone;
  std::uint32_t size = static_cast<std::uint32_t>(buffer.size());
  if (key.queryValue(name, type, buffer, size) != platform::kErrorSuccess) return {};
  if (!isTextType(type) || size > buffer.size()) return {};
  const std::span<const std::uint8_t> data(buffer.data(), size);
  if (!isTerminated(type, data)) return {};
  // The (first) string ends at the first zero byte, which the check above
  // guarantees lies within the data.
  const auto* chars = reinterpret_cast<const char*>(data.data());
  const std::size_t length = std::strlen(chars);
  if (length > maxChars) return {};
  return std::string(chars, length);
}

bool ReadFlagValue(platform::RegistryKey& key, std::string_view name, std::string_view keyword) {
  return ReadTextValue(key, name) == keyword;
}

std::uint16_t ReadNumberValue(platform::RegistryKey& key, std::string_view name) {
  std::array<std::uint8_t, 4> buffer{};
  std::uint32_t type = platform::kRegNone;
  std::uint32_t size = static_cast<std::uint32_t>(buffer.size());
  if (key.queryValue(name, type, buffer, size) != platform::kErrorSuccess) return 0;
  if (type != platform::kRegDword || size != buffer.size()) return 0;
  // REG_DWORD is little-endian on every platform the registry exists on.
  return static_cast<std::uint16_t>(buffer[0] | (buffer[1] << 8));
}

}  // namespace vorn
