#include "platform/posix/print/paper.h"

#include <algorithm>
#include <array>
#include "platform/ansi_code_page.h"

namespace vorn::platform::posix {
namespace {

constexpr std::array<PaperSize, 5> kPapers = {{
    {1, "Letter", 215.9, 279.4},
    {5, "Legal", 215.9, 355.6},
    {8, "A3", 297.0, 420.0},
    {9, "A4", 210.0, 297.0},
    {11, "A5", 148.0, 210.0},
}};

}  // namespace

std::optional<PaperSize> paperByCode(std::int16_t code) {
  for (const auto& paper : kPapers) {
    if (paper.code == code) return paper;
  }
  return std::nullopt;
}

std::optional<PaperSize> paperByName(std::string_view name) {
  for (const auto& paper : kPapers) {
    if (equalsIgnoringCase(paper.name, name)) return paper;
  }
  return std::nullopt;
}

}  // namespace vorn::platform::posix
