// A process of nembit's own that holds the clipboard, and the socket to it.
// POSIX only (owner_process_posix.cpp).
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "common/run_clock.h"

namespace nembit::clipboard {

/// An owner process, started in a session of its own with one end of a
/// socket pair as its standard input and output and the null device as its
/// error output, and no other descriptor of this process. One that serves
/// lives on when this object goes, ends by itself and is reaped then; any
/// other is killed with this object.
class OwnerProcess {
 public:
  using Clock = RunClock;

  /// How a wait for the owner ended.
  enum class Io { kDone, kGone, kTimedOut };

  /// Starts the program `path`; throws Error when it cannot be started.
  explicit OwnerProcess(const std::string& path);
  /// The owner that awaits the next run at the socket `path`; null when none
  /// is there.
  static std::unique_ptr<OwnerProcess> reach(const std::string& path);
  OwnerProcess(const OwnerProcess&) = delete;
  OwnerProcess& operator=(const OwnerProcess&) = delete;
  ~OwnerProcess();

  /// Sends all of `bytes` before `deadline`.
  Io send(std::string_view bytes, Clock::time_point deadline);

  /// Reads the owner's next line, without its line break, before
  /// `deadline`.
  Io read_line(std::string& line, Clock::time_point deadline);

  /// Notes that the owner holds the selection, and so outlives this object.
  void serving() { serving_ = true; }

  /// Kills the owner with every process of its session.
  void kill();

 private:
  OwnerProcess() = default;
  Io wait(short events, Clock::time_point deadline);

  int pid_ = -1;
  int socket_ = -1;
  bool serving_ = false;
  std::string received_;
};

}  // namespace nembit::clipboard
