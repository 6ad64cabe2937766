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
#include <vector>

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

// Access masks.
inline constexpr std::uint32_t kKeyRead = 0x20019;
inline constexpr std::uint32_t kKeyWow64_64Key = 0x0100;

// ---- The write side ----
// Stands for: RegCreateKeyExA, RegSetValueExA, RegDeleteValueA, RegDeleteTreeA,
// RegEnumValueA, RegFlushKey. The profile tool writes profiles through it;
// the agent and the service only read. Writes need a key opened or created
// with kKeySetValue (kKeyAllAccess), else kErrorAccessDenied; with
// kKeyWow64_64Key they go to the 64-bit view, as the readers read it.
//
// Windows: each change takes effect at once. POSIX (the registry file): the
// changes made through one open key are kept with it and written together,
// in one replacement of the file (see platform/posix/registry_file.h), when
// it is flushed, or else when it closes, where a failure goes unseen: flush
// it. A key created (createKey) is in the file at once. Reads through the key
// see its own changes; its enumerations show the key as it was opened.
inline constexpr std::uint32_t kKeySetValue = 0x0002;
inline constexpr std::uint32_t kKeyAllAccess = 0xF003F;
inline constexpr std::uint32_t kRegCreatedNewKey = 1;
inline constexpr std::uint32_t kRegOpenedExistingKey = 2;

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

  // ---- The write side (see below) ----

  // RegEnumValueA: the index-th value's name, type and data;
  // kErrorNoMoreItems past the last one.
  virtual std::uint32_t enumValue(std::uint32_t index, std::string& name, std::uint32_t& type,
                                  std::vector<std::uint8_t>& data) = 0;
  // RegSetValueExA.
  virtual std::uint32_t setValue(std::string_view name, std::uint32_t type, std::span<const std::uint8_t> data) = 0;
  // RegDeleteValueA; kErrorFileNotFound when there is no such value.
  virtual std::uint32_t deleteValue(std::string_view name) = 0;
  // RegDeleteTreeA of a subkey: it and everything below it; kErrorFileNotFound
  // when there is no such subkey.
  virtual std::uint32_t deleteTree(std::string_view subkey) = 0;
  // RegFlushKey: the key's changes reach the registry's store.
  virtual std::uint32_t flush() = 0;
};

class Registry {
 public:
  virtual ~Registry() = default;

  // RegOpenKeyExA under HKEY_LOCAL_MACHINE. kErrorFileNotFound for a key that
  // does not exist; kErrorBadDb when the registry itself cannot be read.
  virtual std::uint32_t openKey(std::string_view path, std::uint32_t access,
                                std::unique_ptr<RegistryKey>& key) = 0;

  // ---- The write side (see below) ----

  // RegCreateKeyExA under HKEY_LOCAL_MACHINE (non-volatile, no class, default
  // security): the key, made with its missing parents when it does not exist;
  // `disposition` tells which (kRegCreatedNewKey or kRegOpenedExistingKey).
  virtual std::uint32_t createKey(std::string_view path, std::uint32_t access, std::unique_ptr<RegistryKey>& key,
                                  std::uint32_t& disposition) = 0;
};

// The machine's registry. Each openKey sees it as it is then, so changes made
// outside take effect at the next open; an open key keeps what it read.
Registry& systemRegistry();

}  // namespace vorn::platform
