// The signals that ask the process to stop, turned into an orderly stop at
// the next safe point: a clipboard tool is stopped with all it started, a
// request in flight is abandoned, and every complete line is written first.
#pragma once

#include <chrono>

#include "nembit/interrupted.h"

namespace nembit {

/// While at least one scope lives, anywhere in the process, the signals that
/// end a process by default and ask it to stop (SIGINT, SIGTERM, SIGHUP,
/// SIGQUIT, SIGUSR1, SIGUSR2 and SIGALRM; Ctrl-C and Ctrl-Break on Windows)
/// are noted instead of ending it, except those that the process ignores or
/// handles itself; a wait they interrupt is not resumed. The time the
/// process spends stopped by job control meanwhile is taken off the run
/// clock (run_clock.h).
/// The first scope to open forgets what was noted before and installs the
/// handlers; the last to close restores the handlers it found. Scopes may
/// nest, and may overlap on several threads.
class StopSignalScope {
 public:
  StopSignalScope();
  StopSignalScope(const StopSignalScope&) = delete;
  StopSignalScope& operator=(const StopSignalScope&) = delete;
  ~StopSignalScope();
};

/// The first stop signal noted since the open scopes began, or 0; always 0
/// when no scope is open.
int stop_signal();

/// Throws Interrupted when a stop signal has been noted.
void throw_if_stopped();

/// How long a wait for something outside may run before it looks for a
/// stop signal again: short enough that a stop never waits noticeably.
inline constexpr std::chrono::milliseconds kStopCheckInterval{50};

}  // namespace nembit
