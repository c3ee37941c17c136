#include "gntp/connection.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <utility>

#include "common/system_error.h"
#include "gntp/message.h"
#include "gntp/notifier.h"

namespace gntp {

namespace {

using Clock = std::chrono::steady_clock;

#ifdef MSG_NOSIGNAL
constexpr int kSendFlags = MSG_NOSIGNAL;  // A closed peer gives EPIPE, not SIGPIPE.
#else
constexpr int kSendFlags = 0;
#endif

class Socket {
 public:
  explicit Socket(int fd) : fd_(fd) {}
  Socket(Socket&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Socket& operator=(Socket&&) = delete;
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  ~Socket() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

// Waits until `fd` is ready for `events` or the deadline passes.
void wait_for(int fd, short events, Clock::time_point deadline, const std::string& peer) {
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) throw Error("timed out talking to the GNTP server at " + peer);
    pollfd entry{fd, events, 0};
    const int ready = ::poll(&entry, 1, static_cast<int>(left));
    if (ready > 0) return;
    if (ready < 0 && errno != EINTR) throw Error(nembit::errno_text(errno));
  }
}

// A connected socket to one of the addresses of `host`, tried in turn.
Socket connect_to(const std::string& host, const std::string& port, Clock::time_point deadline,
                  const std::string& peer) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (const int error = ::getaddrinfo(host.c_str(), port.c_str(), &hints, &found); error != 0) {
    throw Error("cannot resolve the GNTP server " + peer + ": " + ::gai_strerror(error));
  }
  const std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> addresses(found, &::freeaddrinfo);
  int last_error = ECONNREFUSED;
  for (const addrinfo* address = found; address != nullptr; address = address->ai_next) {
    Socket socket(::socket(address->ai_family, address->ai_socktype, address->ai_protocol));
    if (socket.get() < 0) {
      last_error = errno;
      continue;
    }
    ::fcntl(socket.get(), F_SETFD, FD_CLOEXEC);
    ::fcntl(socket.get(), F_SETFL, O_NONBLOCK);
#ifdef SO_NOSIGPIPE
    const int on = 1;
    ::setsockopt(socket.get(), SOL_SOCKET, SO_NOSIGPIPE, &on, sizeof on);
#endif
    if (::connect(socket.get(), address->ai_addr, address->ai_addrlen) == 0) return socket;
    if (errno != EINPROGRESS) {
      last_error = errno;
      continue;
    }
    wait_for(socket.get(), POLLOUT, deadline, peer);
    int error = 0;
    socklen_t length = sizeof error;
    ::getsockopt(socket.get(), SOL_SOCKET, SO_ERROR, &error, &length);
    if (error == 0) return socket;
    last_error = error;
  }
  throw Error(nembit::errno_text(last_error));
}

}  // namespace

std::string exchange(const std::string& host, const std::string& port, std::string_view request,
                     std::chrono::milliseconds limit, size_t max_reply) {
  const Clock::time_point deadline = Clock::now() + limit;
  const std::string peer = host + ":" + port;
  const Socket socket = connect_to(host, port, deadline, peer);
  while (!request.empty()) {
    wait_for(socket.get(), POLLOUT, deadline, peer);
    const ssize_t sent = ::send(socket.get(), request.data(), request.size(), kSendFlags);
    if (sent < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) continue;
      throw Error(nembit::errno_text(errno));
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
      throw Error(nembit::errno_text(errno));
    }
    reply.append(buffer, static_cast<size_t>(got));
    if (reply.size() > max_reply) {
      throw Error("the GNTP reply is longer than " + std::to_string(max_reply) + " bytes");
    }
  }
  return reply;
}

}  // namespace gntp
