// A process of nembit's own that holds the clipboard, and the socket to it.
// POSIX only (owner_process_posix.cpp).
#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace nembit::clipboard {

/// An owner process, started in a session of its own with one end of a
/// socket pair as its standard input and output and the null device as its
/// error output, and no other descriptor of this process. It lives on when
/// this object goes: it ends by itself.
class OwnerProcess {
 public:
  using Clock = std::chrono::steady_clock;

  /// How a wait for the owner ended.
  enum class Io { kDone, kGone, kTimedOut };

  /// Starts the program `path`; throws Error when it cannot be started.
  explicit OwnerProcess(const std::string& path);
  OwnerProcess(const OwnerProcess&) = delete;
  OwnerProcess& operator=(const OwnerProcess&) = delete;
  ~OwnerProcess();

  /// Sends all of `bytes` before `deadline`.
  Io send(std::string_view bytes, Clock::time_point deadline);

  /// Reads the owner's next line, without its line break, before
  /// `deadline`.
  Io read_line(std::string& line, Clock::time_point deadline);

  /// Kills the owner.
  void kill() const;

 private:
  Io wait(short events, Clock::time_point deadline);

  int pid_ = -1;
  int socket_ = -1;
  std::string received_;
};

}  // namespace nembit::clipboard
