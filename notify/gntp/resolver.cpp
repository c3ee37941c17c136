#include "notify/gntp/resolver.h"

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "common/stop_signals.h"
#include "nembit/notifier.h"

namespace nembit::gntp {

namespace {

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

bool is_localhost(std::string_view name) {
  if (name.ends_with('.')) name.remove_suffix(1);
  constexpr std::string_view kLocalhost = "localhost";
  return name.size() == kLocalhost.size() &&
         std::equal(name.begin(), name.end(), kLocalhost.begin(),
                    [](char c, char l) { return (c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c) == l; });
}

std::vector<Address> resolve_within(const std::string& host, const std::string& port,
                                    const Resolver& resolve, RunClock::time_point deadline) {
  const std::string name = unbracketed(host);
  if (std::vector<Address> found = numeric_addresses(name, port); !found.empty()) return found;
  if (is_localhost(name)) {
    std::vector<Address> found = numeric_addresses("::1", port);
    for (const Address& address : numeric_addresses("127.0.0.1", port)) found.push_back(address);
    return found;
  }

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
    throw notify::Error(std::string("cannot start looking up the GNTP server: ") + error.what());
  }
  std::unique_lock lock(shared->mutex);
  const auto finished = [&] { return shared->addresses || shared->error; };
  while (!finished()) {
    throw_if_stopped();
    const std::chrono::milliseconds slice = wait_slice(deadline);
    if (slice.count() <= 0) {
      throw notify::TimeoutError("timed out looking up the GNTP server " + host);
    }
    shared->done.wait_for(lock, slice);
  }
  if (shared->error) throw notify::Error(*shared->error);
  return std::move(*shared->addresses);
}

}  // namespace nembit::gntp
