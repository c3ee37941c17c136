#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "nembit/notifier.h"
#include "notify/gntp/address_list.h"
#include "notify/gntp/socket.h"

namespace nembit::gntp {

namespace {

#ifdef MSG_NOSIGNAL
constexpr int kSendFlags = MSG_NOSIGNAL;  // A closed peer gives EPIPE, not SIGPIPE.
#else
constexpr int kSendFlags = 0;
#endif

static_assert(sizeof(sockaddr_storage) <= sizeof(Address::bytes));

int fd_of(const Socket& socket) { return static_cast<int>(socket.get()); }

// 0 for the errors that only mean "not now".
int real_error(int error) {
  return error == EAGAIN || error == EWOULDBLOCK || error == EINTR ? 0 : error;
}

int family_number(Family family) {
  return family == Family::kIPv4 ? AF_INET : family == Family::kIPv6 ? AF_INET6 : AF_UNSPEC;
}

}  // namespace

Socket SystemSockets::open(Family family, int& error) {
  const int fd = ::socket(family_number(family), SOCK_STREAM, 0);
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
  return {*this, fd};
}

Connecting SystemSockets::start_connect(const Socket& socket, const Address& address, int& error) {
  sockaddr_storage storage{};
  std::memcpy(&storage, address.bytes.data(), address.length);
  if (::connect(fd_of(socket), reinterpret_cast<const sockaddr*>(&storage), address.length) == 0) {
    return Connecting::kDone;
  }
  if (errno == EINPROGRESS) return Connecting::kUnderWay;
  error = errno;
  return Connecting::kFailed;
}

int SystemSockets::wait(std::vector<Wait>& waits, int milliseconds) {
  std::vector<pollfd> entries;
  entries.reserve(waits.size());
  for (const Wait& wait : waits) {
    entries.push_back({fd_of(*wait.socket), static_cast<short>(wait.write ? POLLOUT : POLLIN), 0});
  }
  if (::poll(entries.data(), entries.size(), milliseconds) < 0) return real_error(errno);
  for (size_t i = 0; i < waits.size(); ++i) waits[i].ready = entries[i].revents != 0;
  return 0;
}

int SystemSockets::connect_error(const Socket& socket) {
  int error = 0;
  socklen_t length = sizeof error;
  if (::getsockopt(fd_of(socket), SOL_SOCKET, SO_ERROR, &error, &length) != 0) return errno;
  return error;
}

long SystemSockets::send_some(const Socket& socket, std::string_view data, int& error) {
  const ssize_t sent = ::send(fd_of(socket), data.data(), data.size(), kSendFlags);
  if (sent < 0) error = real_error(errno);
  return sent;
}

long SystemSockets::receive_some(const Socket& socket, char* buffer, size_t size, int& error) {
  const ssize_t got = ::recv(fd_of(socket), buffer, size, 0);
  if (got < 0) error = real_error(errno);
  return got;
}

void SystemSockets::close(intptr_t handle) { ::close(static_cast<int>(handle)); }

int refused_error() { return ECONNREFUSED; }

bool nobody_listens(int error) {
  return error == ECONNREFUSED || error == EADDRNOTAVAIL || error == ENETUNREACH ||
         error == EHOSTUNREACH || error == EAFNOSUPPORT;
}

int lookup_addresses(const std::string& host, const std::string& port, bool numeric_only,
                     std::vector<Address>& found) {
  const Resolver<addrinfo> system{::getaddrinfo,
                                  ::freeaddrinfo,
                                  AF_UNSPEC,
                                  AF_INET,
                                  AF_INET6,
                                  SOCK_STREAM,
                                  AI_NUMERICHOST | AI_NUMERICSERV,
                                  AI_ADDRCONFIG};
  return lookup_with(system, host, port, numeric_only, found);
}

std::string lookup_error_text(int error) { return ::gai_strerror(error); }

}  // namespace nembit::gntp
