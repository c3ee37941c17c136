#include "clipboard/owner/clock.h"

#include <ctime>

namespace nembit::owner {

int64_t now_ms() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
}

int64_t wall_seconds() { return static_cast<int64_t>(std::time(nullptr)); }

int soonest(std::initializer_list<int> waits) {
  int wait = -1;
  for (const int each : waits) {
    if (each >= 0 && (wait < 0 || each < wait)) wait = each;
  }
  return wait;
}

}  // namespace nembit::owner
