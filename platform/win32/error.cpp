// Win32 error codes on Windows: the thread's own last error and the system's
// message texts.
#include "platform/error.h"

#include <windows.h>

#include <array>

namespace vorn::platform {
namespace {

constexpr std::uint32_t kFacilityWin32 = 7;

// FormatMessageA(FROM_SYSTEM) in `language`; empty when the system has no text.
std::string formatSystemMessage(std::uint32_t code, DWORD language) {
  std::array<char, 4096> text{};
  const DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                                        language, text.data(), static_cast<DWORD>(text.size()), nullptr);
  return std::string(text.data(), length);
}

}  // namespace

std::uint32_t lastError() { return ::GetLastError(); }

void setLastError(std::uint32_t code) { ::SetLastError(code); }

std::string systemMessageText(std::uint32_t code) {
  const DWORD saved = ::GetLastError();  // asking for a text is no failure of the caller's
  // HRESULT_FROM_WIN32 codes read as the Win32 code they carry.
  if ((code & 0x80000000u) != 0 && ((code >> 16) & 0x1FFFu) == kFacilityWin32) code &= 0xFFFFu;
  std::string text = formatSystemMessage(code, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
  if (text.empty()) text = formatSystemMessage(code, 0);
  ::SetLastError(saved);
  return text;
}

}  // namespace vorn::platform
