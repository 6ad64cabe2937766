// The three kinds of profile values and how each is read from an open key.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/registry.h"

namespace vorn {

// Texts are read through a buffer of this many bytes, terminator included.
inline constexpr std::size_t kProfileTextBytes = 256;

// A REG_SZ or REG_EXPAND_SZ (as stored, not expanded) or the first string of
// a REG_MULTI_SZ, of at most `maxChars` characters. Empty when the value is
// absent or unreadable: of another type, longer than the buffer, not
// terminated (a REG_MULTI_SZ needs its two closing zero bytes) or longer than
// `maxChars`.
std::string ReadTextValue(platform::RegistryKey& key, std::string_view name,
                          std::size_t maxChars = kProfileTextBytes - 1);

// True exactly when the text value equals `keyword` (case-sensitive).
bool ReadFlagValue(platform::RegistryKey& key, std::string_view name, std::string_view keyword);

// The low 16 bits of a REG_DWORD; 0 when absent or of another type.
std::uint16_t ReadNumberValue(platform::RegistryKey& key, std::string_view name);

}  // namespace vorn
