#include "notify/gntp/connection.h"

#include <algorithm>
#include <optional>

#include "common/environment.h"
#include "common/stop_signals.h"
#include "common/system_error.h"
#include "nembit/notifier.h"
#include "notify/gntp/message.h"

namespace nembit::gntp {

namespace {

using Clock = RunClock;

// How long to wait until `time`, but no longer than a stop may wait.
int milliseconds_until(Clock::time_point time) {
  return static_cast<int>(wait_slice(time).count());
}

[[noreturn]] void time_out(const std::string& peer) {
  throw notify::TimeoutError("timed out talking to the GNTP server at " + peer);
}

// Waits until `socket` is ready to write (or read) or the deadline passes.
void wait_for(Sockets& sockets, const Socket& socket, bool write, Clock::time_point deadline,
              const std::string& peer) {
  for (;;) {
    throw_if_stopped();
    if (Clock::now() >= deadline) time_out(peer);
    std::vector<Wait> waits{{.socket = &socket, .write = write}};
    if (const int error = sockets.wait(waits, milliseconds_until(deadline)); error != 0) {
      throw notify::Error(errno_text(error));
    }
    if (waits[0].ready) return;
  }
}

// The order of the attempts, as indexes into `addresses`: the families
// alternate, starting with that of the most preferred address.
std::vector<size_t> interleaved(const std::vector<Address>& addresses) {
  std::vector<size_t> first;
  std::vector<size_t> other;
  for (size_t i = 0; i < addresses.size(); ++i) {
    (addresses[i].family == addresses.front().family ? first : other).push_back(i);
  }
  std::vector<size_t> order;
  for (size_t i = 0; i < std::max(first.size(), other.size()); ++i) {
    if (i < first.size()) order.push_back(first[i]);
    if (i < other.size()) order.push_back(other[i]);
  }
  return order;
}

// The connection attempts of connect_first: those under way, the next to
// start, and what those that failed found.
struct Attempts {
  Sockets& sockets;
  const std::vector<Address>& addresses;
  std::vector<size_t> order;  ///< Indexes into `addresses`, in the order of the attempts.
  size_t next = 0;            ///< The next of `order` to start.
  Clock::time_point next_start = Clock::now();
  std::vector<Connection> under_way{};
  int last_error = refused_error();
  /// So far every attempt found nobody listening; a refusal is the error
  /// that says so best.
  bool all_refused = true;
  int refusal = 0;

  // Whether the next attempt starts now: the first, or one whose turn came.
  bool may_start_next() const {
    return next < order.size() && (under_way.empty() || Clock::now() >= next_start);
  }

  void failed(int error) {
    last_error = error;
    all_refused = all_refused && nobody_listens(error);
    if (error == refused_error()) refusal = error;
  }

  [[noreturn]] void throw_failure() const {
    if (all_refused) throw notify::RefusedError(errno_text(refusal != 0 ? refusal : last_error));
    throw notify::Error(errno_text(last_error));
  }
};

// Starts the next attempt; the connection when it connected at once.
std::optional<Connection> start_next(Attempts& attempts, std::chrono::milliseconds attempt_delay) {
  const size_t index = attempts.order[attempts.next++];
  attempts.next_start = Clock::now() + attempt_delay;
  int error = 0;
  Socket socket = attempts.sockets.open(attempts.addresses[index].family, error);
  if (!socket.open()) {
    attempts.failed(error);
    return std::nullopt;
  }
  switch (attempts.sockets.start_connect(socket, attempts.addresses[index], error)) {
    case Connecting::kDone:
      return Connection{std::move(socket), index};
    case Connecting::kUnderWay:
      attempts.under_way.push_back({std::move(socket), index});
      break;
    case Connecting::kFailed:
      attempts.failed(error);
      break;
  }
  return std::nullopt;
}

// Waits until `wake` for the attempts under way to end; the connection of
// one that connected, or none, with those that failed dropped.
std::optional<Connection> collect_ended(Attempts& attempts, Clock::time_point wake) {
  std::vector<Wait> waits;
  waits.reserve(attempts.under_way.size());
  for (const Connection& attempt : attempts.under_way) {
    waits.push_back({.socket = &attempt.socket, .write = true});
  }
  if (const int error = attempts.sockets.wait(waits, milliseconds_until(wake)); error != 0) {
    throw notify::Error(errno_text(error));
  }
  for (size_t i = waits.size(); i-- > 0;) {
    if (!waits[i].ready) continue;
    const int error = attempts.sockets.connect_error(attempts.under_way[i].socket);
    if (error == 0) return std::move(attempts.under_way[i]);
    attempts.failed(error);
    attempts.under_way.erase(attempts.under_way.begin() + static_cast<std::ptrdiff_t>(i));
    attempts.next_start = Clock::now();  // A failed attempt makes way for the next at once.
  }
  return std::nullopt;
}

bool is_port(const std::string& text) {
  if (text.empty() || text.size() > 5 ||
      text.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  const int port = std::stoi(text);
  return port >= 1 && port <= 65535;
}

}  // namespace

Settings Settings::from_environment() {
  Settings settings;
  settings.host = environment_value("GNTP_HOST", settings.host);
  settings.port = environment_value("GNTP_PORT", settings.port);
  settings.password = environment_value("GNTP_PASSWORD");
  if (!is_port(settings.port)) {
    throw notify::Error("GNTP_PORT must be a port number from 1 to 65535, not '" + settings.port +
                        "'");
  }
  return settings;
}

Connection connect_first(Sockets& sockets, const std::vector<Address>& addresses,
                         Clock::time_point deadline, std::chrono::milliseconds attempt_delay,
                         const std::string& peer) {
  Attempts attempts{.sockets = sockets, .addresses = addresses, .order = interleaved(addresses)};
  for (;;) {
    throw_if_stopped();
    if (attempts.may_start_next()) {
      if (std::optional<Connection> connection = start_next(attempts, attempt_delay)) {
        return std::move(*connection);
      }
      continue;
    }
    if (attempts.under_way.empty()) attempts.throw_failure();
    if (Clock::now() >= deadline) time_out(peer);
    const Clock::time_point wake =
        attempts.next < attempts.order.size() ? std::min(deadline, attempts.next_start) : deadline;
    if (std::optional<Connection> connection = collect_ended(attempts, wake)) {
      return std::move(*connection);
    }
  }
}

std::string exchange(const Settings& settings, std::vector<Address>& addresses,
                     std::string_view request, Clock::time_point deadline) {
  Sockets& sockets = *settings.sockets;
  const std::string host = unbracketed(settings.host);
  const std::string peer =
      (host.find(':') != std::string::npos ? "[" + host + "]" : host) + ":" + settings.port;
  if (addresses.empty()) {
    addresses = resolve_within(host, settings.port, settings.resolve, deadline);
  }
  Connection connection = connect_first(sockets, addresses, deadline, settings.attempt_delay, peer);
  std::rotate(addresses.begin(),
              addresses.begin() + static_cast<std::ptrdiff_t>(connection.address),
              addresses.begin() + static_cast<std::ptrdiff_t>(connection.address) + 1);
  const Socket& socket = connection.socket;
  while (!request.empty()) {
    wait_for(sockets, socket, true, deadline, peer);
    int error = 0;
    const long sent = sockets.send_some(socket, request, error);
    if (sent < 0) {
      if (error == 0) continue;
      throw notify::Error(errno_text(error));
    }
    request.remove_prefix(static_cast<size_t>(sent));
  }
  std::string reply;
  char buffer[4096];
  while (message_length(reply) == 0) {
    wait_for(sockets, socket, false, deadline, peer);
    int error = 0;
    const long got = sockets.receive_some(socket, buffer, sizeof buffer, error);
    if (got == 0) break;
    if (got < 0) {
      if (error == 0) continue;
      throw notify::Error(errno_text(error));
    }
    reply.append(buffer, static_cast<size_t>(got));
    if (reply.size() > settings.max_reply) {
      throw notify::Error("the GNTP reply is longer than " + std::to_string(settings.max_reply) +
                          " bytes");
    }
  }
  return reply;
}

}  // namespace nembit::gntp
