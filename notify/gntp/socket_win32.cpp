#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstring>

#include "common/system_error.h"
#include "common/system_error_win32.h"
#include "nembit/notifier.h"
#include "notify/gntp/address_list.h"
#include "notify/gntp/socket.h"

namespace nembit::gntp {

namespace {

static_assert(sizeof(sockaddr_storage) <= sizeof(Address::bytes));

SOCKET handle_of(const Socket& socket) { return static_cast<SOCKET>(socket.get()); }

int error_number(int code) { return windows_error_number(static_cast<unsigned long>(code)); }

// The last Winsock error as this layer reports errors: 0 for those that only
// mean "not now", otherwise negated for errno_text.
int last_error() {
  const int code = ::WSAGetLastError();
  if (code == WSAEWOULDBLOCK || code == WSAEINTR || code == WSAEINPROGRESS) return 0;
  return error_number(code);
}

// Winsock's start-up, once per process: 0 or an error.
int start_winsock() {
  static const int kResult = [] {
    WSADATA data;
    const int code = ::WSAStartup(MAKEWORD(2, 2), &data);
    return code == 0 ? 0 : error_number(code);
  }();
  return kResult;
}

int family_number(Family family) {
  return family == Family::kIPv4 ? AF_INET : family == Family::kIPv6 ? AF_INET6 : AF_UNSPEC;
}

}  // namespace

Socket SystemSockets::open(Family family, int& error) {
  if ((error = start_winsock()) != 0) return {};
  const SOCKET handle = ::WSASocketW(family_number(family), SOCK_STREAM, IPPROTO_TCP, nullptr, 0,
                                     WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
  if (handle == INVALID_SOCKET) {
    error = error_number(::WSAGetLastError());
    return {};
  }
  u_long on = 1;
  ::ioctlsocket(handle, FIONBIO, &on);
  return {*this, static_cast<intptr_t>(handle)};
}

Connecting SystemSockets::start_connect(const Socket& socket, const Address& address, int& error) {
  sockaddr_storage storage{};
  std::memcpy(&storage, address.bytes.data(), address.length);
  if (::connect(handle_of(socket), reinterpret_cast<const sockaddr*>(&storage),
                static_cast<int>(address.length)) == 0) {
    return Connecting::kDone;
  }
  error = last_error();
  return error == 0 ? Connecting::kUnderWay : Connecting::kFailed;
}

int SystemSockets::wait(std::vector<Wait>& waits, int milliseconds) {
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

int SystemSockets::connect_error(const Socket& socket) {
  int code = 0;
  int length = sizeof code;
  if (::getsockopt(handle_of(socket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&code),
                   &length) != 0) {
    return last_error();
  }
  return code == 0 ? 0 : error_number(code);
}

long SystemSockets::send_some(const Socket& socket, std::string_view data, int& error) {
  const int sent = ::send(handle_of(socket), data.data(), static_cast<int>(data.size()), 0);
  if (sent == SOCKET_ERROR) error = last_error();
  return sent == SOCKET_ERROR ? -1 : sent;
}

long SystemSockets::receive_some(const Socket& socket, char* buffer, size_t size, int& error) {
  const int got = ::recv(handle_of(socket), buffer, static_cast<int>(size), 0);
  if (got == SOCKET_ERROR) error = last_error();
  return got == SOCKET_ERROR ? -1 : got;
}

void SystemSockets::close(intptr_t handle) { ::closesocket(static_cast<SOCKET>(handle)); }

int refused_error() { return error_number(WSAECONNREFUSED); }

bool nobody_listens(int error) {
  for (const int code :
       {WSAECONNREFUSED, WSAEADDRNOTAVAIL, WSAENETUNREACH, WSAEHOSTUNREACH, WSAEAFNOSUPPORT}) {
    if (error == error_number(code)) return true;
  }
  return false;
}

int lookup_addresses(const std::string& host, const std::string& port, bool numeric_only,
                     std::vector<Address>& found) {
  if (const int error = start_winsock(); error != 0) return error;
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

std::string lookup_error_text(int error) {
  return error < 0 ? errno_text(error) : ::gai_strerror(error);
}

}  // namespace nembit::gntp
