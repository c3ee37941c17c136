#include <utility>

#include "common/system_error.h"
#include "gntp/socket.h"

namespace nembit::gntp {

namespace {

SOCKET handle_of(const Socket& socket) { return static_cast<SOCKET>(socket.get()); }

// The last Winsock error as this layer reports errors: 0 for those that only
// mean "not now", otherwise negated for errno_text.
int last_error() {
  const int code = ::WSAGetLastError();
  if (code == WSAEWOULDBLOCK || code == WSAEINTR || code == WSAEINPROGRESS) return 0;
  return windows_error_number(static_cast<unsigned long>(code));
}

}  // namespace

Socket::Socket(Socket&& other) noexcept : handle_(std::exchange(other.handle_, kNone)) {}

Socket& Socket::operator=(Socket&& other) noexcept {
  if (this != &other) {
    if (open()) ::closesocket(static_cast<SOCKET>(handle_));
    handle_ = std::exchange(other.handle_, kNone);
  }
  return *this;
}

Socket::~Socket() {
  if (open()) ::closesocket(static_cast<SOCKET>(handle_));
}

int start_sockets() {
  static const int result = [] {
    WSADATA data;
    const int code = ::WSAStartup(MAKEWORD(2, 2), &data);
    return code == 0 ? 0 : windows_error_number(static_cast<unsigned long>(code));
  }();
  return result;
}

Socket open_socket(int family, int& error) {
  if ((error = start_sockets()) != 0) return {};
  const SOCKET handle = ::WSASocketW(family, SOCK_STREAM, IPPROTO_TCP, nullptr, 0,
                                     WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
  if (handle == INVALID_SOCKET) {
    error = windows_error_number(static_cast<unsigned long>(::WSAGetLastError()));
    return {};
  }
  u_long on = 1;
  ::ioctlsocket(handle, FIONBIO, &on);
  return Socket(static_cast<intptr_t>(handle));
}

Connecting start_connect(const Socket& socket, const sockaddr* address, socklen_t length,
                         int& error) {
  if (::connect(handle_of(socket), address, length) == 0) return Connecting::kDone;
  error = last_error();
  return error == 0 ? Connecting::kUnderWay : Connecting::kFailed;
}

int wait_sockets(std::vector<Wait>& waits, int milliseconds) {
  std::vector<WSAPOLLFD> entries;
  entries.reserve(waits.size());
  for (const Wait& wait : waits) {
    entries.push_back(
        {handle_of(*wait.socket), static_cast<SHORT>(wait.write ? POLLOUT : POLLIN), 0});
  }
  if (::WSAPoll(entries.data(), static_cast<ULONG>(entries.size()), milliseconds) == SOCKET_ERROR) {
    return last_error();
  }
  for (size_t i = 0; i < waits.size(); ++i) waits[i].ready = entries[i].revents != 0;
  return 0;
}

int connect_error(const Socket& socket) {
  int code = 0;
  int length = sizeof code;
  if (::getsockopt(handle_of(socket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&code),
                   &length) != 0) {
    return last_error();
  }
  return code == 0 ? 0 : windows_error_number(static_cast<unsigned long>(code));
}

long send_some(const Socket& socket, std::string_view data, int& error) {
  const int sent = ::send(handle_of(socket), data.data(), static_cast<int>(data.size()), 0);
  if (sent == SOCKET_ERROR) error = last_error();
  return sent == SOCKET_ERROR ? -1 : sent;
}

long receive_some(const Socket& socket, char* buffer, size_t size, int& error) {
  const int got = ::recv(handle_of(socket), buffer, static_cast<int>(size), 0);
  if (got == SOCKET_ERROR) error = last_error();
  return got == SOCKET_ERROR ? -1 : got;
}

}  // namespace nembit::gntp
