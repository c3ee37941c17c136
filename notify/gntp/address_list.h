// The addresses of a getaddrinfo result, for both platforms' socket layers.
#pragma once

#include <cstring>
#include <vector>

#include "notify/gntp/socket.h"

namespace nembit::gntp {

/// The TCP addresses of the getaddrinfo result `list`, in order; `ipv4` and
/// `ipv6` are the system's numbers of those families.
template <typename AddrInfo>
std::vector<Address> addresses_of(const AddrInfo* list, int ipv4, int ipv6) {
  std::vector<Address> addresses;
  for (const AddrInfo* entry = list; entry != nullptr; entry = entry->ai_next) {
    if (entry->ai_addrlen > sizeof(Address::bytes)) continue;
    Address address;
    std::memcpy(address.bytes.data(), entry->ai_addr, entry->ai_addrlen);
    address.length = static_cast<uint32_t>(entry->ai_addrlen);
    address.family = entry->ai_family == ipv4   ? Family::kIPv4
                     : entry->ai_family == ipv6 ? Family::kIPv6
                                                : Family::kOther;
    addresses.push_back(address);
  }
  return addresses;
}

}  // namespace nembit::gntp
