#include "notify/gntp/connection.h"

#include <algorithm>

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
  const std::vector<size_t> order = interleaved(addresses);
  std::vector<Connection> attempts;
  size_t next = 0;
  Clock::time_point next_start = Clock::now();
  int last_error = refused_error();
  // So far every attempt found nobody listening; a refusal is the error
  // that says so best.
  bool all_refused = true;
  int refusal = 0;
  const auto failed = [&](int error) {
    last_error = error;
    all_refused = all_refused && nobody_listens(error);
    if (error == refused_error()) refusal = error;
  };
  for (;;) {
    throw_if_stopped();
    if (next < order.size() && (attempts.empty() || Clock::now() >= next_start)) {
      const size_t index = order[next++];
      next_start = Clock::now() + attempt_delay;
      int error = 0;
      Socket socket = sockets.open(addresses[index].family, error);
      if (!socket.open()) {
        failed(error);
        continue;
      }
      const Connecting state = sockets.start_connect(socket, addresses[index], error);
      if (state == Connecting::kDone) return {std::move(socket), index};
      if (state == Connecting::kUnderWay) attempts.push_back({std::move(socket), index});
      if (state == Connecting::kFailed) failed(error);
      continue;
    }
    if (attempts.empty()) {
      if (all_refused) throw notify::RefusedError(errno_text(refusal != 0 ? refusal : last_error));
      throw notify::Error(errno_text(last_error));
    }
    if (Clock::now() >= deadline) time_out(peer);

    std::vector<Wait> waits;
    waits.reserve(attempts.size());
    for (const Connection& attempt : attempts) {
      waits.push_back({.socket = &attempt.socket, .write = true});
    }
    const Clock::time_point wake = next < order.size() ? std::min(deadline, next_start) : deadline;
    if (const int error = sockets.wait(waits, milliseconds_until(wake)); error != 0) {
      throw notify::Error(errno_text(error));
    }
    for (size_t i = waits.size(); i-- > 0;) {
      if (!waits[i].ready) continue;
      const int error = sockets.connect_error(attempts[i].socket);
      if (error == 0) return std::move(attempts[i]);
      failed(error);
      attempts.erase(attempts.begin() + static_cast<std::ptrdiff_t>(i));
      next_start = Clock::now();  // A failed attempt makes way for the next at once.
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
