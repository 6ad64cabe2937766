// Paper sizes the printers know, by their settings-record code.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace vorn::platform::posix {

struct PaperSize {
  std::int16_t code;         // dmPaperSize value
  std::string_view name;     // as the printer configuration spells it
  double widthMillimetres;   // portrait
  double heightMillimetres;
};

// The paper of a dmPaperSize code; none for a code no printer here supports.
std::optional<PaperSize> paperByCode(std::int16_t code);
// The paper of a configuration name ("A4", "Letter" …), letter case ignored.
std::optional<PaperSize> paperByName(std::string_view name);

inline constexpr double kPointsPerInch = 72.0;
inline constexpr double kMillimetresPerInch = 25.4;

}  // namespace vorn::platform::posix
