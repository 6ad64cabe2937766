#include "platform/posix/print/tray_keywords.h"

namespace vorn::platform::posix {
namespace {
constexpr int kFirstUserTray = 256;
constexpr int kLastNumberedTray = 20;  // IPP defines tray-1 to tray-20
}  // namespace

std::optional<std::string> mediaSourceKeyword(std::int16_t trayCode) {
  // dmDefaultSource is a WORD; the record keeps it as a signed 16-bit value.
  const int code = static_cast<std::uint16_t>(trayCode);
  switch (code) {
    case 1: return "top";
    case 2: return "bottom";
    case 3: return "middle";
    case 4: return "manual";
    case 5: return "envelope";
    case 6: return "manual";
    case 7: return "auto";
    case 8: return "main-roll";
    case 9: return "by-pass-tray";
    case 10: return "alternate";
    case 11: return "large-capacity";
    case 14: return "main";
    case 15: return "auto";
    default: break;
  }
  if (code >= kFirstUserTray && code - kFirstUserTray < kLastNumberedTray) {
    return "tray-" + std::to_string(code - kFirstUserTray + 1);
  }
  return std::nullopt;
}

}  // namespace vorn::platform::posix
