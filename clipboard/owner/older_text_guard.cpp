#include "clipboard/owner/older_text_guard.h"

#include <algorithm>

namespace nembit::owner {

namespace {

// The FNV-1a hash of `size` bytes at `data`.
uint64_t hash_of(const char* data, size_t size) {
  uint64_t hash = 14695981039346656037ULL;
  for (size_t i = 0; i < size; ++i) {
    hash = (hash ^ static_cast<unsigned char>(data[i])) * 1099511628211ULL;
  }
  return hash;
}

void remember(OlderTextGuard& guard, uint64_t hash) {
  guard.texts[guard.count++ % kRemembered] = hash;
}

}  // namespace

void remember_before_run(OlderTextGuard& guard, const char* data, size_t size) {
  remember(guard, hash_of(data, size));
}

void note_newest(OlderTextGuard& guard, const char* data, size_t size, int64_t now) {
  guard.newest = hash_of(data, size);
  guard.since = now;
  guard.retakes = 0;
  remember(guard, guard.newest);
}

void end_guard(OlderTextGuard& guard) { guard.since = -1; }

int64_t guard_left(const OlderTextGuard& guard, int64_t now) {
  if (guard.since < 0 || guard.retakes >= kMaxRetakes) return 0;
  return std::max<int64_t>(guard.since + kGuardMs - now, 0);
}

bool take_back(OlderTextGuard& guard, const char* data, size_t size, int64_t now,
               bool reader_seen) {
  if (!reader_seen || guard_left(guard, now) == 0) return false;
  const uint64_t hash = hash_of(data, size);
  const size_t count = std::min(guard.count, kRemembered);
  if (std::find(guard.texts, guard.texts + count, hash) == guard.texts + count) {
    end_guard(guard);  // A new text: the clipboard has moved on.
    return false;
  }
  guard.since = now;  // The manager is at work still.
  if (hash == guard.newest) return false;
  ++guard.retakes;
  return true;
}

}  // namespace nembit::owner
