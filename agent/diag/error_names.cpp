#include "agent/diag/error_names.h"

#include <algorithm>
#include <array>

namespace vorn {
namespace {

constexpr ErrorName kResultCodeNames[] = {
#include "agent/diag/result_code_names.inc"
};

constexpr ErrorName kSystemErrorNames[] = {
#include "agent/diag/system_error_names.inc"
};

constexpr bool sortedByCode(std::span<const ErrorName> table) {
  for (std::size_t i = 1; i < table.size(); ++i) {
    if (table[i - 1].code >= table[i].code) return false;
  }
  return true;
}
static_assert(sortedByCode(kResultCodeNames), "result code names must be sorted and unique");
static_assert(sortedByCode(kSystemErrorNames), "system error names must be sorted and unique");

std::optional<std::string_view> find(std::span<const ErrorName> table, std::uint32_t code) {
  const auto it = std::lower_bound(table.begin(), table.end(), code,
                                   [](const ErrorName& entry, std::uint32_t wanted) {
                                     return entry.code < wanted;
                                   });
  if (it == table.end() || it->code != code) return std::nullopt;
  return it->name;
}

}  // namespace

std::span<const ErrorName> resultCodeNames() { return kResultCodeNames; }
std::span<const ErrorName> systemErrorNames() { return kSystemErrorNames; }

std::optional<std::string_view> findResultCodeName(std::uint32_t code) {
  return find(kResultCodeNames, code);
}

std::optional<std::string_view> findSystemErrorName(std::uint32_t code) {
  return find(kSystemErrorNames, code);
}

}  // namespace vorn
