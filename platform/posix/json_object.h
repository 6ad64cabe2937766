// The flat JSON objects of the service database ({"Name":"text","Type":16,
// "Deleted":true}): members that are strings, integers or booleans, kept in
// the order they were set. Texts are UTF-8 as JSON has them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace vorn::platform::posix {

// Appends `utf8` as a JSON string: quoted, with quotes, backslashes and
// control characters escaped.
void appendJsonQuoted(std::string& out, std::string_view utf8);

class JsonObject {
 public:
  using Value = std::variant<std::string, std::int64_t, bool>;

  // Replaces the member `key`, or appends it.
  void set(std::string_view key, Value value);

  // The member `key` when it has that type.
  const std::string* text(std::string_view key) const;
  std::optional<std::int64_t> integer(std::string_view key) const;
  std::optional<bool> boolean(std::string_view key) const;

  // One line, ending in "\n".
  std::string serialize() const;

  // The object `text` holds, or nothing when it is not one flat object
  // (nested values, fractions and malformed text alike; null members are
  // left out).
  static std::optional<JsonObject> parse(std::string_view text);

 private:
  const Value* find(std::string_view key) const;

  std::vector<std::pair<std::string, Value>> members_;
};

}  // namespace vorn::platform::posix
