// The resolver's list as resolveHost gives it on both platforms: every
// address that fits, IPv4 first, each family in the resolver's order.
#include "platform/address_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace vorn::platform {
namespace {

constexpr std::uint16_t kIpv4 = 2;
constexpr std::uint16_t kIpv6 = 23;  // Windows' value; Linux has 10: neither is IPv4

// A resolver entry as getaddrinfo chains them: a family and a tag byte to
// tell the addresses apart, padded to `length`.
struct Entry {
  std::vector<std::uint8_t> bytes;
  const void* ai_addr = nullptr;
  std::size_t ai_addrlen = 0;
  const Entry* ai_next = nullptr;
};

std::vector<Entry> chain(const std::vector<std::pair<std::uint16_t, std::size_t>>& layout) {
  std::vector<Entry> entries(layout.size());
  for (std::size_t i = 0; i < layout.size(); ++i) {
    entries[i].bytes.assign(std::max<std::size_t>(layout[i].second, 3), 0);
    std::memcpy(entries[i].bytes.data(), &layout[i].first, sizeof layout[i].first);
    entries[i].bytes[2] = static_cast<std::uint8_t>('a' + i);
    entries[i].ai_addr = entries[i].bytes.data();
    entries[i].ai_addrlen = layout[i].second;
    if (i > 0) entries[i - 1].ai_next = &entries[i];
  }
  return entries;
}

// The tags of the list's addresses, in order.
std::string tags(const std::vector<SocketAddress>& addresses) {
  std::string text;
  for (const SocketAddress& address : addresses) text += static_cast<char>(address.storage[2]);
  return text;
}

TEST(AddressList, IPv4FirstEachFamilyInTheResolversOrder) {
  struct Case {
    const char* what;
    std::vector<std::pair<std::uint16_t, std::size_t>> entries;
    std::string order;
  };
  const std::vector<Case> cases = {
      {"nothing resolved", {}, ""},
      {"IPv6 before IPv4, as a resolver may give localhost", {{kIpv6, 28}, {kIpv4, 16}}, "ba"},
      {"mixed, stable within each family", {{kIpv6, 28}, {kIpv4, 16}, {kIpv6, 28}, {kIpv4, 16}}, "bdac"},
      {"IPv4 only", {{kIpv4, 16}, {kIpv4, 16}}, "ab"},
      {"IPv6 only", {{kIpv6, 28}, {kIpv6, 28}}, "ab"},
      {"an address too large for the record is passed over", {{kIpv6, 129}, {kIpv4, 16}, {kIpv6, 128}}, "bc"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::vector<Entry> entries = chain(c.entries);
    const std::vector<SocketAddress> addresses = addressList(entries.empty() ? nullptr : &entries[0], kIpv4);
    EXPECT_EQ(tags(addresses), c.order);
    for (const SocketAddress& address : addresses) {
      const auto& entry = entries.at(static_cast<std::size_t>(address.storage[2] - 'a'));
      EXPECT_EQ(address.length, entry.ai_addrlen);
      EXPECT_EQ(std::memcmp(address.storage.data(), entry.bytes.data(), entry.ai_addrlen), 0);
    }
  }
}

}  // namespace
}  // namespace vorn::platform
