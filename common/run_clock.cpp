#include "common/run_clock.h"

#include <algorithm>
#include <atomic>

#include "common/stop_signals.h"

namespace nembit {

namespace {

using Steady = std::chrono::steady_clock;

// Nanoseconds on the steady clock: when the run clock was last read, and
// how much it has skipped in all. Lock-free, as the handler writes them.
std::atomic<Steady::rep> last_read{0};
std::atomic<Steady::rep> skipped{0};
static_assert(std::atomic<Steady::rep>::is_always_lock_free);

}  // namespace

RunClock::time_point RunClock::now() noexcept {
  // A continue noted between reading the steady clock and recording it
  // would skip time that this reading already holds: read again then.
  for (;;) {
    const Steady::rep skipped_before = skipped.load();
    const Steady::rep steady = Steady::now().time_since_epoch().count();
    last_read.store(steady);
    if (skipped.load() == skipped_before) return time_point(duration(steady - skipped_before));
  }
}

void note_continued() noexcept {
  const Steady::rep steady = Steady::now().time_since_epoch().count();
  const Steady::rep before = last_read.exchange(steady);
  if (before != 0 && steady > before) skipped.fetch_add(steady - before);
}

std::chrono::milliseconds wait_slice(RunClock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - RunClock::now());
  return std::clamp(left, std::chrono::milliseconds(0), kStopCheckInterval);
}

}  // namespace nembit
