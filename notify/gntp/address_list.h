// Looking addresses up with getaddrinfo, which both platforms' socket layers
// have, each in its own headers: they hand over its names (see Resolver).
#pragma once

#include <cstring>
#include <string>
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

/// The system's getaddrinfo and freeaddrinfo, and the numbers of what they
/// take, as one platform's headers name them.
template <typename AddrInfo>
struct Resolver {
  int (*lookup)(const char*, const char*, const AddrInfo*, AddrInfo**);
  void (*release)(AddrInfo*);
  int unspecified;    ///< AF_UNSPEC
  int ipv4;           ///< AF_INET
  int ipv6;           ///< AF_INET6
  int stream;         ///< SOCK_STREAM
  int numeric_flags;  ///< AI_NUMERICHOST | AI_NUMERICSERV
  int name_flags;     ///< AI_ADDRCONFIG
};

/// lookup_addresses() (socket.h) through the system's `resolver`.
template <typename AddrInfo>
int lookup_with(const Resolver<AddrInfo>& resolver, const std::string& host,
                const std::string& port, bool numeric_only, std::vector<Address>& found) {
  AddrInfo hints{};
  hints.ai_family = resolver.unspecified;
  hints.ai_socktype = resolver.stream;
  hints.ai_flags = numeric_only ? resolver.numeric_flags : resolver.name_flags;
  AddrInfo* list = nullptr;
  const int error = resolver.lookup(host.c_str(), port.c_str(), &hints, &list);
  if (error != 0) return error;
  found = addresses_of(list, resolver.ipv4, resolver.ipv6);
  resolver.release(list);
  return 0;
}

}  // namespace nembit::gntp
