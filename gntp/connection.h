// One GNTP request over TCP, bounded by a deadline.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace gntp {

/// Connects to `host`:`port` (trying each of its addresses, IPv4 or IPv6, in
/// turn), sends `request` and reads the reply until its closing empty line or
/// until the server closes the connection. Connecting, sending and reading
/// together take at most `limit`. Throws Error on failure, on time-out, and
/// for a reply longer than `max_reply` bytes.
std::string exchange(const std::string& host, const std::string& port, std::string_view request,
                     std::chrono::milliseconds limit, size_t max_reply);

}  // namespace gntp
