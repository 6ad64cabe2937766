// The addresses a host name resolves to, as resolveHost (socket.h) gives
// them on every platform: the resolver's list copied in its order, then the
// IPv4 addresses moved before the others, so that a listener bound to
// 127.0.0.1 is found before "::1" refuses. Shared by both implementations.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/socket.h"

namespace vorn::platform {

// Appends one resolved address, a sockaddr of `length` bytes; one that does
// not fit a SocketAddress is passed over.
void appendAddress(std::vector<SocketAddress>& addresses, const void* address, std::size_t length);

// Moves the addresses whose family (a sockaddr's first member, 16 bits in
// the machine's order) is `ipv4Family` before the others; the order within
// each group stays.
void putIpv4First(std::vector<SocketAddress>& addresses, std::uint16_t ipv4Family);

// The resolver's list (getaddrinfo's chain: ai_addr, ai_addrlen, ai_next),
// IPv4 (`ipv4Family`, the platform's AF_INET) first.
template <typename AddressInfo>
std::vector<SocketAddress> addressList(const AddressInfo* first, std::uint16_t ipv4Family) {
  std::vector<SocketAddress> addresses;
  for (const AddressInfo* entry = first; entry != nullptr; entry = entry->ai_next)
    appendAddress(addresses, entry->ai_addr, entry->ai_addrlen);
  putIpv4First(addresses, ipv4Family);
  return addresses;
}

}  // namespace vorn::platform
