#include "control/command_line.h"

#include <array>
#include <string_view>
#include <utility>

#include "platform/ansi_code_page.h"

namespace vorn {
namespace {

constexpr std::size_t kCommandWordMax = 20;
constexpr std::size_t kProfileArgumentMax = 100;

struct WordEntry {
  std::string_view text;
  CommandWord word;
};

constexpr std::array<WordEntry, 13> kWords{{
    {"help", CommandWord::Help},         {"/help", CommandWord::Help},     {"/h", CommandWord::Help},
    {"?", CommandWord::Help},            {"/?", CommandWord::Help},        {"--version", CommandWord::Version},
    {"create", CommandWord::Create},     {"delete", CommandWord::Delete},  {"start", CommandWord::Start},
    {"stop", CommandWord::Stop},         {"show", CommandWord::Show},      {"run", CommandWord::Run},
    {"kill", CommandWord::Kill},
}};

CommandLineError refuse(std::string message) { return CommandLineError{std::move(message)}; }

}  // namespace

std::variant<Command, CommandLineError> ParseCommandLine(std::span<const std::string> arguments) {
  if (arguments.empty()) return Command{};
  const std::string first = platform::ansiLowerCase(std::string_view(arguments[0]).substr(0, kCommandWordMax));
  const WordEntry* entry = nullptr;
  for (const WordEntry& candidate : kWords) {
    if (candidate.text == first) entry = &candidate;
  }
  if (entry == nullptr) return refuse("called with invalid parameter");

  Command command{entry->word, {}};
  switch (command.word) {
    case CommandWord::Help:
      return command;
    case CommandWord::Run:
    case CommandWord::Kill: {
      if (arguments.size() < 2) return refuse("/profile= parameter required");
      if (arguments.size() > 2) return refuse("called with too many parameters");
      const std::string_view profile = std::string_view(arguments[1]).substr(0, kProfileArgumentMax);
      if (!profile.starts_with("/PROFILE=") && !profile.starts_with("/profile="))
        return refuse("invalid /profile= parameter");
      command.profileName = profile.substr(std::string_view("/profile=").size());
      return command;
    }
    default:
      if (arguments.size() > 1) return refuse("called with too many parameters");
      return command;
  }
}

}  // namespace vorn
