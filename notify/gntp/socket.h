// Sockets as the GNTP client uses them: non-blocking TCP, waited on with a
// time limit, behind an interface so that tests can fake them. The system's
// sockets have one implementation per platform (socket_posix.cpp on BSD
// sockets, socket_win32.cpp on Winsock), which alone sees the system's types.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace nembit::gntp {

/// The family of an address.
enum class Family { kIPv4, kIPv6, kOther };

/// One address to connect to, in the system's own form, which only the
/// socket layer reads.
struct Address {
  std::array<std::byte, 128> bytes{};
  uint32_t length = 0;
  Family family = Family::kOther;

  bool operator==(const Address&) const = default;
};

class Sockets;

/// Owns one socket of a socket layer, or none, and closes it at the end.
class Socket {
 public:
  Socket() = default;
  Socket(Sockets& layer, intptr_t handle) : layer_(&layer), handle_(handle) {}
  Socket(Socket&& other) noexcept;
  Socket& operator=(Socket&& other) noexcept;
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  ~Socket();

  bool open() const { return layer_ != nullptr; }
  intptr_t get() const { return handle_; }

 private:
  void close();

  Sockets* layer_ = nullptr;
  intptr_t handle_ = -1;
};

/// How a connection attempt started.
enum class Connecting { kDone, kUnderWay, kFailed };

/// One socket to wait for, to write (or to connect) or to read.
struct Wait {
  const Socket* socket = nullptr;
  bool write = false;
  bool ready = false;
};

/// The socket calls of the GNTP client. Errors are the system's numbers:
/// errno values, or on Windows negated Winsock codes; errno_text
/// (common/system_error.h) describes them.
class Sockets {
 public:
  virtual ~Sockets() = default;

  /// A non-blocking TCP socket of `family` that child processes do not
  /// inherit and whose peer's end cannot raise SIGPIPE; none, with `error`
  /// set, on failure.
  virtual Socket open(Family family, int& error) = 0;

  /// Starts connecting `socket` to `address`; `error` is set when it failed.
  virtual Connecting start_connect(const Socket& socket, const Address& address, int& error) = 0;

  /// Waits until one of `waits` is ready, or for at most `milliseconds`,
  /// and marks those that are. Returns 0 (also when a signal cut the wait
  /// short) or an error.
  virtual int wait(std::vector<Wait>& waits, int milliseconds) = 0;

  /// The error that a finished connection attempt ended with, or 0.
  virtual int connect_error(const Socket& socket) = 0;

  /// Sends what the socket takes now of `data`: the count, or -1 with
  /// `error` set (0 when the socket can take nothing now).
  virtual long send_some(const Socket& socket, std::string_view data, int& error) = 0;

  /// Receives what has arrived, at most `size` bytes: the count (0 at the
  /// end of the stream), or -1 with `error` set (0 when nothing has arrived).
  virtual long receive_some(const Socket& socket, char* buffer, size_t size, int& error) = 0;

  /// Closes the socket `handle`.
  virtual void close(intptr_t handle) = 0;
};

/// The system's sockets.
class SystemSockets : public Sockets {
 public:
  Socket open(Family family, int& error) override;
  Connecting start_connect(const Socket& socket, const Address& address, int& error) override;
  int wait(std::vector<Wait>& waits, int milliseconds) override;
  int connect_error(const Socket& socket) override;
  long send_some(const Socket& socket, std::string_view data, int& error) override;
  long receive_some(const Socket& socket, char* buffer, size_t size, int& error) override;
  void close(intptr_t handle) override;
};

/// The process's system sockets.
SystemSockets& system_sockets();

/// The error of a connection that the peer refused (nobody listens).
int refused_error();

/// Whether a connection that failed with `error` found nobody listening:
/// refused, or to an address that this machine cannot reach
/// (EADDRNOTAVAIL, ENETUNREACH, EHOSTUNREACH, EAFNOSUPPORT).
bool nobody_listens(int error);

/// Looks the TCP addresses of `host` and `port` up with the system's
/// resolver (getaddrinfo, with the system's host files and name services),
/// or takes them as numeric addresses alone when `numeric_only`; 0, or an
/// error that lookup_error_text describes.
int lookup_addresses(const std::string& host, const std::string& port, bool numeric_only,
                     std::vector<Address>& found);

/// The text of an error of lookup_addresses.
std::string lookup_error_text(int error);

/// The addresses of `host` and `port` when `host` is a numeric IPv4 or IPv6
/// address; empty when it is not.
std::vector<Address> numeric_addresses(const std::string& host, const std::string& port);

/// Every TCP address of `host` and `port`, in order of preference, as the
/// system's resolver (getaddrinfo, with the system's host files and name
/// services) gives them; it may block for as long as it likes. Throws Error
/// when there is none.
std::vector<Address> system_resolve(const std::string& host, const std::string& port);

}  // namespace nembit::gntp
