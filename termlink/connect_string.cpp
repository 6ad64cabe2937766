#include "termlink/connect_string.h"

#include "platform/ansi_code_page.h"

namespace vorn::termlink {

using platform::equalsIgnoringCase;

std::optional<ConnectFields> ConnectFields::parse(std::string_view text) {
  ConnectFields result;
  std::size_t at = 0;
  while (at < text.size()) {
    if (!result.fields_.empty()) {
      if (text[at] != ',') return std::nullopt;
      ++at;
    }
    const std::size_t equals = text.find('=', at);
    if (equals == std::string_view::npos || equals == at) return std::nullopt;
    std::string key(text.substr(at, equals - at));
    at = equals + 1;
    if (at >= text.size() || text[at] != '"') return std::nullopt;
    ++at;
    std::string value;
    for (;;) {
      if (at >= text.size()) return std::nullopt;  // unterminated value
      if (text[at] == '"') {
        if (at + 1 < text.size() && text[at + 1] == '"') {
          value.push_back('"');
          at += 2;
          continue;
        }
        ++at;
        break;
      }
      value.push_back(text[at++]);
    }
    result.fields_.emplace_back(std::move(key), std::move(value));
  }
  if (result.fields_.empty()) return std::nullopt;
  return result;
}

std::optional<std::string> ConnectFields::get(std::string_view key) const {
  for (const auto& [name, value] : fields_)
    if (equalsIgnoringCase(name, key)) return value;
  return std::nullopt;
}

}  // namespace vorn::termlink
