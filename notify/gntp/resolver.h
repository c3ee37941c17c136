// Looking up the addresses of the GNTP server within a deadline.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "common/run_clock.h"
#include "notify/gntp/socket.h"

namespace nembit::gntp {

/// Looks up every TCP address of a host and port, in order of preference;
/// throws Error when there is none. It may block for as long as it likes.
using Resolver =
    std::function<std::vector<Address>(const std::string& host, const std::string& port)>;

/// Whether `name` is "localhost", the loopback addresses, which a resolver
/// may answer itself (RFC 6761): in any case, and with a final dot or not.
bool is_localhost(std::string_view name);

/// The addresses of `host` and `port`, as `resolve` gives them. A numeric
/// address (IPv4, IPv6, or IPv6 between brackets as in "[::1]") is taken as
/// it stands, and "localhost" is ::1 and 127.0.0.1. Any other name is looked
/// up on a thread of its own, which is left to
/// finish alone when `deadline` passes first: then TimeoutError is thrown.
/// Throws Interrupted when the process is asked to stop meanwhile.
std::vector<Address> resolve_within(const std::string& host, const std::string& port,
                                    const Resolver& resolve, RunClock::time_point deadline);

/// `host` without the brackets of an IPv6 literal such as "[::1]".
std::string unbracketed(const std::string& host);

}  // namespace nembit::gntp
