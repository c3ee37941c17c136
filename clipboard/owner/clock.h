// The time that a clipboard owner's loop waits by.
#pragma once

#include <cstdint>
#include <initializer_list>

namespace nembit::owner {

/// Milliseconds on a steady clock.
int64_t now_ms();

/// Seconds on the wall clock, which runs on across processes.
int64_t wall_seconds();

/// The shortest of `waits` in milliseconds, where -1 is without end.
int soonest(std::initializer_list<int> waits);

}  // namespace nembit::owner
