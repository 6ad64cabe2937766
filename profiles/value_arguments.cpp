#include "profiles/value_arguments.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <optional>

#include "agent/profile/profile_values.h"
#include "platform/ansi_code_page.h"
#include "platform/registry.h"

namespace vorn {
namespace {

constexpr std::uint32_t kNumberMax = 0xFFFF;  // the agent reads the low 16 bits

std::vector<std::uint8_t> dwordData(std::uint32_t value) {
  return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
          static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

std::vector<std::uint8_t> textData(std::string_view text) {
  std::vector<std::uint8_t> data(text.begin(), text.end());
  data.push_back(0);
  return data;
}

// "12", "0x1f" or "dword:0000001f"; nothing when it is none of them or does
// not fit 32 bits.
std::optional<std::uint32_t> parseNumber(std::string_view text) {
  int base = 10;
  if (platform::equalsIgnoringCase(text.substr(0, 6), "dword:")) {
    text.remove_prefix(6);
    base = 16;
    if (text.size() > 8) return std::nullopt;
  } else if (platform::equalsIgnoringCase(text.substr(0, 2), "0x")) {
    text.remove_prefix(2);
    base = 16;
  }
  std::uint32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::string quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

}  // namespace

std::variant<ProfileValue, std::string> parseValueArgument(std::string_view argument, bool force) {
  const std::size_t equals = argument.find('=');
  if (equals == std::string_view::npos) return quoted(argument) + ": VALUE=DATA expected";
  const std::string_view name = argument.substr(0, equals);
  const std::string_view data = argument.substr(equals + 1);
  if (name.empty()) return quoted(argument) + ": a value name is needed before '='";

  const ProfileValueSpec* spec = findProfileValueSpec(name);
  if (spec == nullptr) {
    if (!force) {
      return "unknown value " + quoted(name) + ": neither the agent nor the service reads it (--force writes it anyway)";
    }
    if (platform::equalsIgnoringCase(data.substr(0, 6), "dword:")) {
      const auto number = parseNumber(data);
      if (!number) return std::string(name) + ": " + quoted(data) + " is not dword: and up to 8 hex digits";
      return ProfileValue{std::string(name), platform::kRegDword, dwordData(*number)};
    }
    return ProfileValue{std::string(name), platform::kRegSz, textData(data)};
  }

  const std::string canonical(spec->name);
  if (spec->kind == ProfileValueKind::number) {
    const auto number = parseNumber(data);
    if (!number || *number > kNumberMax) {
      return canonical + ": " + quoted(data) + " is not a number the agent takes (0 to 65535)";
    }
    return ProfileValue{canonical, platform::kRegDword, dwordData(*number)};
  }
  if (data.size() > spec->maxChars) {
    return canonical + ": " + std::to_string(data.size()) + " characters, the " +
           (canonical == "Active" ? "service" : "agent") + " takes at most " + std::to_string(spec->maxChars);
  }
  return ProfileValue{canonical, platform::kRegSz, textData(data)};
}

std::variant<ProfileValue, std::string> checkStoredValue(std::string_view name, std::uint32_t type,
                                                         std::vector<std::uint8_t> data, bool force) {
  const ProfileValueSpec* spec = findProfileValueSpec(name);
  if (spec == nullptr) {
    if (!force) {
      return "unknown value " + quoted(name) + ": neither the agent nor the service reads it (--force takes it anyway)";
    }
    return ProfileValue{std::string(name), type, std::move(data)};
  }
  const std::string canonical(spec->name);
  if (spec->kind == ProfileValueKind::number) {
    if (type != platform::kRegDword || data.size() != 4) return canonical + ": not a REG_DWORD number";
    const std::uint32_t number = data[0] | (data[1] << 8) | (data[2] << 16) | (static_cast<std::uint32_t>(data[3]) << 24);
    if (number > kNumberMax) return canonical + ": " + std::to_string(number) + " is more than the agent takes (65535)";
    return ProfileValue{canonical, type, std::move(data)};
  }
  const bool text = type == platform::kRegSz || type == platform::kRegExpandSz || type == platform::kRegMultiSz;
  const auto end = std::find(data.begin(), data.end(), 0);
  if (!text || end == data.end()) return canonical + ": not a text";
  const auto chars = static_cast<std::size_t>(end - data.begin());
  if (chars > spec->maxChars) {
    return canonical + ": " + std::to_string(chars) + " characters, the " +
           (canonical == "Active" ? "service" : "agent") + " takes at most " + std::to_string(spec->maxChars);
  }
  return ProfileValue{canonical, type, std::move(data)};
}

std::string valueDataText(std::uint32_t type, const std::vector<std::uint8_t>& data) {
  if ((type == platform::kRegSz || type == platform::kRegExpandSz) && !data.empty() && data.back() == 0) {
    return std::string(data.begin(), data.end() - 1);
  }
  if (type == platform::kRegDword && data.size() == 4) {
    return std::to_string(data[0] | (data[1] << 8) | (data[2] << 16) | (static_cast<std::uint32_t>(data[3]) << 24));
  }
  std::array<char, 24> digits{};
  std::snprintf(digits.data(), digits.size(), "hex(%x):", type);
  std::string text = digits.data();
  for (std::size_t i = 0; i < data.size(); ++i) {
    std::snprintf(digits.data(), digits.size(), i == 0 ? "%02x" : ",%02x", data[i]);
    text += digits.data();
  }
  return text;
}

}  // namespace vorn
