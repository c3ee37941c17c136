#include "gntp/resolver.h"

#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "common/system_error.h"
#include "gntp/notifier.h"

namespace nembit::gntp {

namespace {

// The addresses of `found`, in order.
std::vector<Address> addresses_of(const addrinfo* found) {
  std::vector<Address> addresses;
  for (const addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
    if (entry->ai_addrlen > sizeof(sockaddr_storage)) continue;
    Address address;
    std::memcpy(&address.storage, entry->ai_addr, entry->ai_addrlen);
    address.length = entry->ai_addrlen;
    address.family = entry->ai_family;
    addresses.push_back(address);
  }
  return addresses;
}

// Runs getaddrinfo; `found` holds the addresses when it returns 0.
int lookup(const std::string& host, const std::string& port, int flags,
           std::vector<Address>& found) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = flags;
  addrinfo* list = nullptr;
  const int error = ::getaddrinfo(host.c_str(), port.c_str(), &hints, &list);
  if (error != 0) return error;
  const std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> owner(list, &::freeaddrinfo);
  found = addresses_of(list);
  return 0;
}

// What a lookup thread hands back; shared, so that a thread that outlives
// its caller's deadline still has somewhere to put its result.
struct Lookup {
  std::mutex mutex;
  std::condition_variable done;
  std::optional<std::vector<Address>> addresses;
  std::optional<std::string> error;
};

}  // namespace

std::string unbracketed(const std::string& host) {
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
    return host.substr(1, host.size() - 2);
  }
  return host;
}

std::vector<Address> system_resolve(const std::string& host, const std::string& port) {
  std::vector<Address> found;
  if (const int error = lookup(host, port, AI_ADDRCONFIG, found); error != 0) {
    throw Error("cannot resolve the GNTP server " + host + ":" + port + ": " +
                ::gai_strerror(error));
  }
  return found;
}

std::vector<Address> resolve_within(const std::string& host, const std::string& port,
                                    const Resolver& resolve,
                                    std::chrono::steady_clock::time_point deadline) {
  const std::string name = unbracketed(host);
  if (const int error = start_sockets(); error != 0) throw Error(errno_text(error));
  std::vector<Address> found;
  if (lookup(name, port, AI_NUMERICHOST | AI_NUMERICSERV, found) == 0) return found;

  auto shared = std::make_shared<Lookup>();
  try {
    std::thread([shared, resolve, name, port] {
      std::optional<std::vector<Address>> addresses;
      std::optional<std::string> error;
      try {
        addresses = resolve(name, port);
      } catch (const std::exception& failure) {
        error = failure.what();
      }
      const std::lock_guard lock(shared->mutex);
      shared->addresses = std::move(addresses);
      shared->error = std::move(error);
      shared->done.notify_one();
    }).detach();
  } catch (const std::system_error& error) {
    throw Error(std::string("cannot start looking up the GNTP server: ") + error.what());
  }
  std::unique_lock lock(shared->mutex);
  if (!shared->done.wait_until(lock, deadline,
                               [&] { return shared->addresses || shared->error; })) {
    throw TimeoutError("timed out looking up the GNTP server " + host);
  }
  if (shared->error) throw Error(*shared->error);
  return std::move(*shared->addresses);
}

}  // namespace nembit::gntp
