#include "platform/address_list.h"

#include <algorithm>
#include <cstring>

namespace vorn::platform {

void appendAddress(std::vector<SocketAddress>& addresses, const void* address, std::size_t length) {
  SocketAddress copy;
  if (address == nullptr || length > copy.storage.size()) return;
  std::memcpy(copy.storage.data(), address, length);
  copy.length = static_cast<std::uint32_t>(length);
  addresses.push_back(copy);
}

void putIpv4First(std::vector<SocketAddress>& addresses, std::uint16_t ipv4Family) {
  std::stable_partition(addresses.begin(), addresses.end(), [ipv4Family](const SocketAddress& address) {
    std::uint16_t family = 0;
    std::memcpy(&family, address.storage.data(), sizeof family);
    return address.length >= sizeof family && family == ipv4Family;
  });
}

}  // namespace vorn::platform
