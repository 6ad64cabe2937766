// HKEY_LOCAL_MACHINE on Windows: the registry itself, through advapi32.
#include "platform/registry.h"

#include <windows.h>

#include <array>
#include <string>
#include <vector>

#include "platform/error.h"

namespace vorn::platform {
namespace {

// Longest key name RegEnumKeyExA returns, with its terminator.
constexpr DWORD kMaxKeyNameLength = 256;

// WideCharToMultiByte(CP_UTF8); a lone surrogate becomes U+FFFD.
std::uint32_t utf8FromWide(std::wstring_view wide, std::string& utf8) {
  utf8.clear();
  if (wide.empty()) return kErrorSuccess;
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                         nullptr, nullptr);
  if (size <= 0) return static_cast<std::uint32_t>(::GetLastError());
  utf8.resize(static_cast<std::size_t>(size));
  if (::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), size, nullptr,
                            nullptr) != size)
    return static_cast<std::uint32_t>(::GetLastError());
  return kErrorSuccess;
}

class Win32RegistryKey final : public RegistryKey {
 public:
  explicit Win32RegistryKey(HKEY key) : key_(key) {}
  ~Win32RegistryKey() override { ::RegCloseKey(key_); }
  Win32RegistryKey(const Win32RegistryKey&) = delete;
  Win32RegistryKey& operator=(const Win32RegistryKey&) = delete;

  std::uint32_t queryValue(std::string_view name, std::uint32_t& type, std::span<std::uint8_t> buffer,
                           std::uint32_t& size) override {
    if (buffer.size() > MAXDWORD) buffer = buffer.first(MAXDWORD);
    const std::string valueName(name);
    DWORD valueType = kRegNone;
    DWORD dataSize = static_cast<DWORD>(buffer.size());
    const LSTATUS status = ::RegQueryValueExA(key_, valueName.c_str(), nullptr, &valueType,
                                              buffer.empty() ? nullptr : buffer.data(), &dataSize);
    if (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
      type = valueType;
      size = dataSize;
    }
    return static_cast<std::uint32_t>(status);
  }

  std::uint32_t enumSubkey(std::uint32_t index, std::string& name) override {
    std::array<char, kMaxKeyNameLength> text{};
    DWORD length = kMaxKeyNameLength;
    const LSTATUS status = ::RegEnumKeyExA(key_, index, text.data(), &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_SUCCESS) name.assign(text.data(), length);
    return static_cast<std::uint32_t>(status);
  }

  std::uint32_t enumSubkeyNames(std::uint32_t index, std::string& ansiName, std::string& unicodeName) override {
    if (const std::uint32_t status = enumSubkey(index, ansiName); status != ERROR_SUCCESS) return status;
    std::array<wchar_t, kMaxKeyNameLength> wide{};
    DWORD length = kMaxKeyNameLength;
    const LSTATUS status = ::RegEnumKeyExW(key_, index, wide.data(), &length, nullptr, nullptr, nullptr, nullptr);
    if (status != ERROR_SUCCESS) return static_cast<std::uint32_t>(status);
    return utf8FromWide(std::wstring_view(wide.data(), length), unicodeName);
  }

  // The write side: defined in its own section below.
  std::uint32_t enumValue(std::uint32_t index, std::string& name, std::uint32_t& type,
                          std::vector<std::uint8_t>& data) override;
  std::uint32_t setValue(std::string_view name, std::uint32_t type, std::span<const std::uint8_t> data) override;
  std::uint32_t deleteValue(std::string_view name) override;
  std::uint32_t deleteTree(std::string_view subkey) override;
  std::uint32_t flush() override;

 private:
  HKEY key_;
};

class Win32Registry final : public Registry {
 public:
  std::uint32_t openKey(std::string_view path, std::uint32_t access, std::unique_ptr<RegistryKey>& key) override {
    key.reset();
    const std::string keyPath(path);
    HKEY opened = nullptr;
    const LSTATUS status = ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, access, &opened);
    if (status != ERROR_SUCCESS) return static_cast<std::uint32_t>(status);
    key = std::make_unique<Win32RegistryKey>(opened);
    return kErrorSuccess;
  }

  // The write side: defined in its own section below.
  std::uint32_t createKey(std::string_view path, std::uint32_t access, std::unique_ptr<RegistryKey>& key,
                          std::uint32_t& disposition) override;
};

// ---- The write side: the profile tool's ----

std::uint32_t Win32RegistryKey::enumValue(std::uint32_t index, std::string& name, std::uint32_t& type,
                                          std::vector<std::uint8_t>& data) {
  // The longest name and data the key holds now; a value that grows between
  // the two calls is asked for again.
  while (true) {
    DWORD maxName = 0;
    DWORD maxData = 0;
    LSTATUS status = ::RegQueryInfoKeyA(key_, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                        &maxName, &maxData, nullptr, nullptr);
    if (status != ERROR_SUCCESS) return static_cast<std::uint32_t>(status);
    std::string text(maxName + 1, '\0');
    data.resize(maxData);
    DWORD nameLength = maxName + 1;
    DWORD dataSize = maxData;
    DWORD valueType = kRegNone;
    status = ::RegEnumValueA(key_, index, text.data(), &nameLength, nullptr, &valueType,
                             data.empty() ? nullptr : data.data(), &dataSize);
    if (status == ERROR_MORE_DATA) continue;
    if (status != ERROR_SUCCESS) return static_cast<std::uint32_t>(status);
    name.assign(text.data(), nameLength);
    type = valueType;
    data.resize(dataSize);
    return kErrorSuccess;
  }
}

std::uint32_t Win32RegistryKey::setValue(std::string_view name, std::uint32_t type,
                                         std::span<const std::uint8_t> data) {
  if (data.size() > MAXDWORD) return ERROR_INVALID_PARAMETER;
  const std::string valueName(name);
  return static_cast<std::uint32_t>(
      ::RegSetValueExA(key_, valueName.c_str(), 0, type, data.data(), static_cast<DWORD>(data.size())));
}

std::uint32_t Win32RegistryKey::deleteValue(std::string_view name) {
  const std::string valueName(name);
  return static_cast<std::uint32_t>(::RegDeleteValueA(key_, valueName.c_str()));
}

std::uint32_t Win32RegistryKey::deleteTree(std::string_view subkey) {
  if (subkey.empty()) return ERROR_INVALID_PARAMETER;  // never the key's own contents
  const std::string subkeyName(subkey);
  return static_cast<std::uint32_t>(::RegDeleteTreeA(key_, subkeyName.c_str()));
}

std::uint32_t Win32RegistryKey::flush() { return static_cast<std::uint32_t>(::RegFlushKey(key_)); }

std::uint32_t Win32Registry::createKey(std::string_view path, std::uint32_t access, std::unique_ptr<RegistryKey>& key,
                                       std::uint32_t& disposition) {
  key.reset();
  const std::string keyPath(path);
  HKEY created = nullptr;
  DWORD result = 0;
  const LSTATUS status = ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                           access, nullptr, &created, &result);
  if (status != ERROR_SUCCESS) return static_cast<std::uint32_t>(status);
  key = std::make_unique<Win32RegistryKey>(created);
  disposition = result;
  return kErrorSuccess;
}

}  // namespace

Registry& systemRegistry() {
  static Win32Registry registry;  // stateless: every open goes to the system
  return registry;
}

}  // namespace vorn::platform
