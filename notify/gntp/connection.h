// One GNTP request over TCP, bounded by a deadline.
#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "common/run_clock.h"
#include "common/time_limits.h"
#include "nembit/notifier.h"
#include "notify/gntp/resolver.h"
#include "notify/gntp/socket.h"

namespace nembit::gntp {

/// Where and how requests reach the GNTP server.
struct Settings {
  /// A host name, an IPv4 address, or an IPv6 address (bare or in brackets).
  std::string host = "localhost";
  std::string port = "23053";
  /// The server's password; none when empty.
  std::string password;
  /// The longest that one request may take, from the name lookup to the reply.
  std::chrono::milliseconds timeout = kCallLimit;
  /// The longest that all requests of one notifier may take together.
  std::chrono::milliseconds budget = kRunBudget;
  /// How long one connection attempt runs alone before the next address is
  /// tried beside it.
  std::chrono::milliseconds attempt_delay = std::chrono::milliseconds(250);
  /// Replies longer than this are refused.
  size_t max_reply = size_t{64} * 1024;
  /// How host names are looked up.
  Resolver resolve = system_resolve;
  /// The sockets that requests go through.
  Sockets* sockets = &system_sockets();

  /// The settings that the environment gives: GNTP_HOST, GNTP_PORT and
  /// GNTP_PASSWORD, each falling back to the default when unset or empty.
  /// Throws Error when GNTP_PORT is no port number.
  static Settings from_environment();
};

/// A connection, and which of the addresses tried it reached.
struct Connection {
  Socket socket;
  size_t address = 0;
};

/// A connection to the first of `addresses` that answers. The attempts are
/// staggered ("Happy Eyeballs", RFC 8305): they alternate between address
/// families, and the next one starts when the last has failed or has not
/// connected within `attempt_delay`, while earlier ones go on. Throws
/// TimeoutError at `deadline`, notify::RefusedError when every attempt found
/// nobody listening (see nobody_listens), Error when every attempt has failed
/// otherwise, and Interrupted when the process is asked to stop meanwhile.
Connection connect_first(Sockets& sockets, const std::vector<Address>& addresses,
                         RunClock::time_point deadline, std::chrono::milliseconds attempt_delay,
                         const std::string& peer);

/// Connects to the server, sends `request` and reads the reply until its
/// closing empty line or until the server closes the connection, all before
/// `deadline`. `addresses` are the server's; when empty, they are looked up
/// first and kept for the next request, and the one that answered is moved
/// to their front, to be tried first next time. Throws TimeoutError when the
/// time passes, Error on any other failure and for a reply longer than
/// `settings.max_reply`, and Interrupted when the process is asked to stop.
std::string exchange(const Settings& settings, std::vector<Address>& addresses,
                     std::string_view request, RunClock::time_point deadline);

}  // namespace nembit::gntp
