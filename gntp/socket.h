// Sockets as the GNTP client uses them: non-blocking TCP, waited on with a
// time limit. One implementation per platform (socket_posix.cpp on BSD
// sockets, socket_win32.cpp on Winsock).
#pragma once

#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <sys/socket.h>
#endif

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace nembit::gntp {

/// Owns one socket, or none, and closes it at the end.
class Socket {
 public:
  Socket() = default;
  explicit Socket(intptr_t handle) : handle_(handle) {}
  Socket(Socket&& other) noexcept;
  Socket& operator=(Socket&& other) noexcept;
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  ~Socket();

  bool open() const { return handle_ != kNone; }
  intptr_t get() const { return handle_; }

 private:
  static constexpr intptr_t kNone = -1;
  intptr_t handle_ = kNone;
};

/// Errors are the system's numbers: errno values, or on Windows negated
/// Winsock codes; errno_text (common/system_error.h) describes them.

/// Makes sockets usable in this process (Winsock's start-up); 0 or an error.
int start_sockets();

/// A non-blocking TCP socket of `family` that child processes do not
/// inherit and whose peer's end cannot raise SIGPIPE; none, with `error`
/// set, on failure.
Socket open_socket(int family, int& error);

/// How a connection attempt started.
enum class Connecting { kDone, kUnderWay, kFailed };

/// Starts connecting `socket` to `address`; `error` is set when it failed.
Connecting start_connect(const Socket& socket, const sockaddr* address, socklen_t length,
                         int& error);

/// One socket to wait for, to write (or to connect) or to read.
struct Wait {
  const Socket* socket = nullptr;
  bool write = false;
  bool ready = false;
};

/// Waits until one of `waits` is ready, or for at most `milliseconds`, and
/// marks those that are. Returns 0 (also when a signal cut the wait short)
/// or an error.
int wait_sockets(std::vector<Wait>& waits, int milliseconds);

/// The error that a finished connection attempt ended with, or 0.
int connect_error(const Socket& socket);

/// Sends what the socket takes now of `data`: the count, or -1 with `error`
/// set (0 when the socket can take nothing now).
long send_some(const Socket& socket, std::string_view data, int& error);

/// Receives what has arrived, at most `size` bytes: the count (0 at the end
/// of the stream), or -1 with `error` set (0 when nothing has arrived).
long receive_some(const Socket& socket, char* buffer, size_t size, int& error);

}  // namespace nembit::gntp
