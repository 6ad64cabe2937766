// Reading the attach request's connect string: fields Key="value" separated
// by commas, a double quote inside a value doubled.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vorn::termlink {

class ConnectFields {
 public:
  // Null when the text is not a well-formed list of Key="value" fields.
  static std::optional<ConnectFields> parse(std::string_view text);

  // The value of a key (compared without regard to case); null when absent.
  std::optional<std::string> get(std::string_view key) const;

  const std::vector<std::pair<std::string, std::string>>& fields() const { return fields_; }

 private:
  std::vector<std::pair<std::string, std::string>> fields_;
};

// A field's value as a decimal 32-bit number filling the whole text.
std::optional<std::int32_t> parseDecimal(std::string_view text);

// Whether a Server value names this machine: "localhost", "127.0.0.1", or its
// host name, fully qualified or short.
bool namesThisMachine(std::string_view server);

}  // namespace vorn::termlink
