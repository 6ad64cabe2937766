// HKEY_LOCAL_MACHINE on Windows: the registry itself, through advapi32.
#include "platform/registry.h"

#include <windows.h>

#include <array>
#include <string>

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
};

}  // namespace

Registry& systemRegistry() {
  static Win32Registry registry;  // stateless: every open goes to the system
  return registry;
}

}  // namespace vorn::platform
