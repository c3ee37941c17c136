#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "gntp/socket.h"

namespace nembit::gntp {

namespace {

#ifdef MSG_NOSIGNAL
constexpr int kSendFlags = MSG_NOSIGNAL;  // A closed peer gives EPIPE, not SIGPIPE.
#else
constexpr int kSendFlags = 0;
#endif

int fd_of(const Socket& socket) { return static_cast<int>(socket.get()); }

// 0 for the errors that only mean "not now".
int real_error(int error) {
  return error == EAGAIN || error == EWOULDBLOCK || error == EINTR ? 0 : error;
}

}  // namespace

Socket::Socket(Socket&& other) noexcept : handle_(std::exchange(other.handle_, kNone)) {}

Socket& Socket::operator=(Socket&& other) noexcept {
  if (this != &other) {
    if (open()) ::close(static_cast<int>(handle_));
    handle_ = std::exchange(other.handle_, kNone);
  }
  return *this;
}

Socket::~Socket() {
  if (open()) ::close(static_cast<int>(handle_));
}

int start_sockets() { return 0; }

Socket open_socket(int family, int& error) {
  const int fd = ::socket(family, SOCK_STREAM, 0);
  if (fd < 0) {
    error = errno;
    return {};
  }
  ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  ::fcntl(fd, F_SETFL, O_NONBLOCK);
#ifdef SO_NOSIGPIPE
  const int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_NOSIGPIPE, &on, sizeof on);
#endif
  return Socket(fd);
}

Connecting start_connect(const Socket& socket, const sockaddr* address, socklen_t length,
                         int& error) {
  if (::connect(fd_of(socket), address, length) == 0) return Connecting::kDone;
  if (errno == EINPROGRESS) return Connecting::kUnderWay;
  error = errno;
  return Connecting::kFailed;
}

int wait_sockets(std::vector<Wait>& waits, int milliseconds) {
  std::vector<pollfd> entries;
  entries.reserve(waits.size());
  for (const Wait& wait : waits) {
    entries.push_back({fd_of(*wait.socket), static_cast<short>(wait.write ? POLLOUT : POLLIN), 0});
  }
  if (::poll(entries.data(), entries.size(), milliseconds) < 0) return real_error(errno);
  for (size_t i = 0; i < waits.size(); ++i) waits[i].ready = entries[i].revents != 0;
  return 0;
}

int connect_error(const Socket& socket) {
  int error = 0;
  socklen_t length = sizeof error;
  if (::getsockopt(fd_of(socket), SOL_SOCKET, SO_ERROR, &error, &length) != 0) return errno;
  return error;
}

long send_some(const Socket& socket, std::string_view data, int& error) {
  const ssize_t sent = ::send(fd_of(socket), data.data(), data.size(), kSendFlags);
  if (sent < 0) error = real_error(errno);
  return sent;
}

long receive_some(const Socket& socket, char* buffer, size_t size, int& error) {
  const ssize_t got = ::recv(fd_of(socket), buffer, size, 0);
  if (got < 0) error = real_error(errno);
  return got;
}

}  // namespace nembit::gntp
