#include "common/profile_key_names.h"

#include <array>
#include <cstdio>
#include <optional>

#include "platform/ansi_code_page.h"

namespace vorn {

ProfileKeyFault profileKeyFault(std::string_view ansiName, std::string_view unicodeName) {
  if (platform::utf8FromAnsi(ansiName) != unicodeName) return ProfileKeyFault::notRepresentable;
  if (ansiName.find('"') != std::string_view::npos) return ProfileKeyFault::doubleQuote;
  if (ansiName.size() > kProfileKeyNameMax) return ProfileKeyFault::tooLong;
  return ProfileKeyFault::none;
}

std::string_view profileKeyFaultText(ProfileKeyFault fault) {
  switch (fault) {
    case ProfileKeyFault::notRepresentable:
      return "its name has characters the ANSI code page lacks";
    case ProfileKeyFault::doubleQuote:
      return "its name contains a double quote";
    case ProfileKeyFault::tooLong:
      return "its name is longer than 254 characters";
    case ProfileKeyFault::none:
      break;
  }
  return {};
}

std::string profileKeyDisplayName(std::string_view ansiName, std::string_view unicodeName) {
  if (platform::utf8FromAnsi(ansiName) == unicodeName) return std::string(ansiName);
  std::string shown;
  std::array<char, 16> escape{};
  for (std::size_t pos = 0; pos < unicodeName.size();) {
    const std::size_t start = pos;
    const std::optional<char32_t> codePoint = platform::decodeUtf8(unicodeName, pos);
    if (!codePoint) {
      std::snprintf(escape.data(), escape.size(), "<0x%02X>", static_cast<unsigned char>(unicodeName[start]));
      shown += escape.data();
      continue;
    }
    // A character the code page holds is the one byte that converts back to it.
    const std::string ansi = platform::ansiFromUtf8(unicodeName.substr(start, pos - start));
    if (platform::utf8FromAnsi(ansi) == unicodeName.substr(start, pos - start)) {
      shown += ansi;
    } else {
      std::snprintf(escape.data(), escape.size(), "<U+%04X>", static_cast<unsigned>(*codePoint));
      shown += escape.data();
    }
  }
  return shown;
}

}  // namespace vorn
