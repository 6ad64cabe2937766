#include "termlink/connect_string.h"

#include <charconv>

#include "platform/ansi_code_page.h"
#include "platform/socket.h"

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

std::optional<std::int32_t> parseDecimal(std::string_view text) {
  std::int32_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

bool namesThisMachine(std::string_view server) {
  if (equalsIgnoringCase(server, "localhost") || server == "127.0.0.1") return true;
  const std::string host = platform::localHostName();
  if (host.empty()) return false;
  if (equalsIgnoringCase(server, host)) return true;
  const std::string_view shortName = std::string_view(host).substr(0, host.find('.'));
  return equalsIgnoringCase(server, shortName);
}

}  // namespace vorn::termlink
