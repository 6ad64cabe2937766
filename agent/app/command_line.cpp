#include "agent/app/command_line.h"

#include "platform/ansi_code_page.h"

namespace vorn {

std::string ProfileNameFromCommandLine(std::string_view commandLine) {
  constexpr std::string_view kOption = "/profile=";
  const std::string lower = platform::ansiLowerCase(commandLine);
  const std::string_view line = lower;

  const std::size_t option = line.find(kOption);
  if (option == std::string_view::npos) return {};
  const std::size_t quote = option + kOption.size();
  if (quote >= line.size() || line[quote] != '"') return {};
  const std::size_t closing = line.find('"', quote + 1);
  if (closing == std::string_view::npos) return {};
  return std::string(line.substr(quote + 1, closing - quote - 1));
}

}  // namespace vorn
