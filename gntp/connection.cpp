#include "gntp/connection.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "common/system_error.h"
#include "gntp/message.h"
#include "gntp/notifier.h"

namespace nembit::gntp {

namespace {

using Clock = std::chrono::steady_clock;

#ifdef MSG_NOSIGNAL
constexpr int kSendFlags = MSG_NOSIGNAL;  // A closed peer gives EPIPE, not SIGPIPE.
#else
constexpr int kSendFlags = 0;
#endif

int milliseconds_until(Clock::time_point time) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(time - Clock::now()).count();
  return static_cast<int>(std::clamp<decltype(left)>(left, 0, 60'000));
}

[[noreturn]] void time_out(const std::string& peer) {
  throw TimeoutError("timed out talking to the GNTP server at " + peer);
}

// Waits until `fd` is ready for `events` or the deadline passes.
void wait_for(int fd, short events, Clock::time_point deadline, const std::string& peer) {
  for (;;) {
    if (Clock::now() >= deadline) time_out(peer);
    pollfd entry{fd, events, 0};
    const int ready = ::poll(&entry, 1, milliseconds_until(deadline));
    if (ready > 0) return;
    if (ready < 0 && errno != EINTR) throw Error(errno_text(errno));
  }
}

// The addresses in the order of their attempts: the families alternate,
// starting with that of the most preferred address.
std::vector<Address> interleaved(const std::vector<Address>& addresses) {
  if (addresses.empty()) return {};
  std::vector<Address> first;
  std::vector<Address> other;
  for (const Address& address : addresses) {
    (address.family == addresses.front().family ? first : other).push_back(address);
  }
  std::vector<Address> order;
  for (size_t i = 0; i < std::max(first.size(), other.size()); ++i) {
    if (i < first.size()) order.push_back(first[i]);
    if (i < other.size()) order.push_back(other[i]);
  }
  return order;
}

// Starts a non-blocking connection to `address`. Returns the socket with
// `connected` set when it connected at once; a closed Fd with `error` set
// when it failed at once.
Fd start_attempt(const Address& address, bool& connected, int& error) {
  Fd socket(::socket(address.family, SOCK_STREAM, 0));
  if (!socket.open()) {
    error = errno;
    return {};
  }
  ::fcntl(socket.get(), F_SETFD, FD_CLOEXEC);
  ::fcntl(socket.get(), F_SETFL, O_NONBLOCK);
#ifdef SO_NOSIGPIPE
  const int on = 1;
  ::setsockopt(socket.get(), SOL_SOCKET, SO_NOSIGPIPE, &on, sizeof on);
#endif
  const auto* raw = reinterpret_cast<const sockaddr*>(&address.storage);
  connected = ::connect(socket.get(), raw, address.length) == 0;
  if (connected || errno == EINPROGRESS) return socket;
  error = errno;
  return {};
}

std::string environment(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : fallback;
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
  settings.host = environment("GNTP_HOST", "localhost");
  settings.port = environment("GNTP_PORT", "23053");
  settings.password = environment("GNTP_PASSWORD", "");
  if (!is_port(settings.port)) {
    throw Error("GNTP_PORT must be a port number from 1 to 65535, not '" + settings.port + "'");
  }
  return settings;
}

Fd connect_first(const std::vector<Address>& addresses, Clock::time_point deadline,
                 std::chrono::milliseconds attempt_delay, const std::string& peer) {
  const std::vector<Address> order = interleaved(addresses);
  std::vector<Fd> attempts;
  size_t next = 0;
  Clock::time_point next_start = Clock::now();
  int last_error = ECONNREFUSED;
  for (;;) {
    if (next < order.size() && (attempts.empty() || Clock::now() >= next_start)) {
      bool connected = false;
      Fd socket = start_attempt(order[next++], connected, last_error);
      if (connected) return socket;
      if (socket.open()) attempts.push_back(std::move(socket));
      next_start = Clock::now() + attempt_delay;
      continue;
    }
    if (attempts.empty()) throw Error(errno_text(last_error));
    if (Clock::now() >= deadline) time_out(peer);

    std::vector<pollfd> entries;
    entries.reserve(attempts.size());
    for (const Fd& attempt : attempts) entries.push_back({attempt.get(), POLLOUT, 0});
    const Clock::time_point wake = next < order.size() ? std::min(deadline, next_start) : deadline;
    const int ready = ::poll(entries.data(), entries.size(), milliseconds_until(wake));
    if (ready < 0 && errno != EINTR) throw Error(errno_text(errno));
    for (size_t i = entries.size(); i-- > 0;) {
      if (entries[i].revents == 0) continue;
      int error = 0;
      socklen_t length = sizeof error;
      ::getsockopt(entries[i].fd, SOL_SOCKET, SO_ERROR, &error, &length);
      if (error == 0) return std::move(attempts[i]);
      last_error = error;
      attempts.erase(attempts.begin() + static_cast<std::ptrdiff_t>(i));
      next_start = Clock::now();  // A failed attempt makes way for the next at once.
    }
  }
}

std::string exchange(const Settings& settings, std::string_view request) {
  const Clock::time_point deadline = Clock::now() + settings.timeout;
  const std::string host = unbracketed(settings.host);
  const std::string peer =
      (host.find(':') != std::string::npos ? "[" + host + "]" : host) + ":" + settings.port;
  const Fd socket = connect_first(resolve_within(host, settings.port, settings.resolve, deadline),
                                  deadline, settings.attempt_delay, peer);
  while (!request.empty()) {
    wait_for(socket.get(), POLLOUT, deadline, peer);
    const ssize_t sent = ::send(socket.get(), request.data(), request.size(), kSendFlags);
    if (sent < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) continue;
      throw Error(errno_text(errno));
    }
    request.remove_prefix(static_cast<size_t>(sent));
  }
  std::string reply;
  char buffer[4096];
  while (message_length(reply) == 0) {
    wait_for(socket.get(), POLLIN, deadline, peer);
    const ssize_t got = ::recv(socket.get(), buffer, sizeof buffer, 0);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) continue;
      throw Error(errno_text(errno));
    }
    reply.append(buffer, static_cast<size_t>(got));
    if (reply.size() > settings.max_reply) {
      throw Error("the GNTP reply is longer than " + std::to_string(settings.max_reply) + " bytes");
    }
  }
  return reply;
}

}  // namespace nembit::gntp
