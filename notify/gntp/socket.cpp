#include "notify/gntp/socket.h"

#include <utility>

#include "nembit/notifier.h"

namespace nembit::gntp {

Socket::Socket(Socket&& other) noexcept
    : layer_(std::exchange(other.layer_, nullptr)), handle_(std::exchange(other.handle_, -1)) {}

Socket& Socket::operator=(Socket&& other) noexcept {
  if (this != &other) {
    close();
    layer_ = std::exchange(other.layer_, nullptr);
    handle_ = std::exchange(other.handle_, -1);
  }
  return *this;
}

Socket::~Socket() { close(); }

SystemSockets& system_sockets() {
  static SystemSockets sockets;
  return sockets;
}

std::vector<Address> numeric_addresses(const std::string& host, const std::string& port) {
  std::vector<Address> found;
  lookup_addresses(host, port, true, found);
  return found;
}

std::vector<Address> system_resolve(const std::string& host, const std::string& port) {
  std::vector<Address> found;
  if (const int error = lookup_addresses(host, port, false, found); error != 0) {
    throw notify::Error("cannot resolve the GNTP server " + host + ":" + port + ": " +
                        lookup_error_text(error));
  }
  return found;
}

void Socket::close() {
  if (layer_ != nullptr) std::exchange(layer_, nullptr)->close(std::exchange(handle_, -1));
}

}  // namespace nembit::gntp
