#include "gntp/socket.h"

#include <utility>

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

void Socket::close() {
  if (layer_ != nullptr) std::exchange(layer_, nullptr)->close(std::exchange(handle_, -1));
}

}  // namespace nembit::gntp
