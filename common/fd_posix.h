// A POSIX file descriptor that closes itself.
#pragma once

#include <unistd.h>

#include <utility>

namespace nembit {

/// Owns one file descriptor, or none (-1), and closes it at the end.
class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Fd& operator=(Fd&& other) noexcept {
    if (this != &other) {
      close();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() { close(); }

  int get() const { return fd_; }
  bool open() const { return fd_ >= 0; }
  /// Gives the descriptor up to the caller, who closes it.
  int release() { return std::exchange(fd_, -1); }
  void close() {
    if (fd_ >= 0) ::close(std::exchange(fd_, -1));
  }

 private:
  int fd_ = -1;
};

}  // namespace nembit
