// The machine's registry, HKEY_LOCAL_MACHINE.
// Stands for: RegOpenKeyExA, RegQueryValueExA, RegEnumKeyExA, RegEnumKeyExW,
// RegCloseKey.
//
// Results are Win32 error codes (kErrorSuccess on success). Key paths use
// backslashes and are looked up without regard to letter case; enumeration
// returns names in their stored case.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace vorn::platform {

// Registry value types (REG_*).
inline constexpr std::uint32_t kRegNone = 0;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kRegDwordBigEndian = 5;
inline constexpr std::uint32_t kRegLink = 6;
inline constexpr std::uint32_t kRegMultiSz = 7;
inline constexpr std::uint32_t kRegQword = 11;

// Access masks (any is accepted; the registry is read-only through this interface).
inline constexpr std::uint32_t kKeyRead = 0x20019;
inline constexpr std::uint32_t kKeyWow64_64Key = 0x0100;

// An open key; closing it is destroying it (RegCloseKey).
class RegistryKey {
 public:
  virtual ~RegistryKey() = default;

  // RegQueryValueExA. On entry `buffer` is where the data goes (it may be
  // empty to ask for type and size only). On return `type` is the value's
  // type and `size` the number of bytes of its data. Results: kErrorSuccess;
  // kErrorFileNotFound when the value does not exist; kErrorMoreData when the
  // buffer is too small (type and size are still set, the buffer is not).
  // Text data is returned as 8-bit Windows-1252 bytes with its terminator.
  virtual std::uint32_t queryValue(std::string_view name, std::uint32_t& type,
                                   std::span<std::uint8_t> buffer, std::uint32_t& size) = 0;

  // RegEnumKeyExA: the name of the index-th subkey in stored case;
  // kErrorNoMoreItems past the last one.
  virtual std::uint32_t enumSubkey(std::uint32_t index, std::string& name) = 0;

  // RegEnumKeyExA and RegEnumKeyExW of the same index: the name as the ANSI
  // call gives it, and the key's own name in UTF-8. They differ when the name
  // has characters the ANSI code page lacks: the ANSI name then names no key,
  // or another one. kErrorNoMoreItems past the last one.
  virtual std::uint32_t enumSubkeyNames(std::uint32_t index, std::string& ansiName, std::string& unicodeName) = 0;
};

class Registry {
 public:
  virtual ~Registry() = default;

  // RegOpenKeyExA under HKEY_LOCAL_MACHINE. kErrorFileNotFound for a key that
  // does not exist; kErrorBadDb when the registry itself cannot be read.
  virtual std::uint32_t openKey(std::string_view path, std::uint32_t access,
                                std::unique_ptr<RegistryKey>& key) = 0;
};

// The machine's registry. Each openKey sees it as it is then, so changes made
// outside take effect at the next open; an open key keeps what it read.
Registry& systemRegistry();

}  // namespace vorn::platform
