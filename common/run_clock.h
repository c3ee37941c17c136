// The clock that time limits are measured on: a steady clock that stands
// still while job control has the process stopped (Ctrl-Z), since time the
// process spends stopped is no time that something it called took.
#pragma once

#include <chrono>

namespace nembit {

/// A steady clock without the time the process spent stopped. A stop is
/// seen when the process continues (SIGCONT, noted while stop signals are;
/// see stop_signals.h); from then on the clock has skipped everything since
/// it was last read before the stop. Waits that read it at least every
/// kStopCheckInterval therefore count at most that much of a stop.
struct RunClock {
  using duration = std::chrono::steady_clock::duration;
  using rep = duration::rep;
  using period = duration::period;
  using time_point = std::chrono::time_point<RunClock>;
  static constexpr bool is_steady = true;

  static time_point now() noexcept;
};

/// What a handler calls when the process continues after a stop; safe in a
/// handler.
void note_continued() noexcept;

/// How long a wait may sleep now: until `deadline`, but no longer than
/// kStopCheckInterval; zero once the deadline has passed.
std::chrono::milliseconds wait_slice(RunClock::time_point deadline);

}  // namespace nembit
