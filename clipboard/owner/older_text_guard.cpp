#include "clipboard/owner/older_text_guard.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "clipboard/owner/hash.h"

namespace nembit::owner {

namespace {

void remember(OlderTextGuard& guard, uint64_t hash) {
  guard.texts[guard.count++ % kRemembered] = hash;
}

// The first line of the texts an owner hands over, as a reader of the text
// it holds is done with it or not.
constexpr std::string_view kHandedDone = "nembit texts 2 done\n";
constexpr std::string_view kHandedPending = "nembit texts 2 pending\n";

}  // namespace

void remember_before_run(OlderTextGuard& guard, const char* data, size_t size) {
  remember(guard, hash_of(data, size));
}

size_t handed_texts(const OlderTextGuard& guard, bool reader_done, char* buffer, size_t size) {
  const std::string_view header = reader_done ? kHandedDone : kHandedPending;
  if (size < header.size() + 1) return 0;
  std::memcpy(buffer, header.data(), header.size());
  size_t length = header.size();
  for (size_t i = 0; i < std::min(guard.count, kRemembered) && length + 18 <= size; ++i) {
    length += static_cast<size_t>(
        std::snprintf(buffer + length, size - length, "%016" PRIx64 "\n", guard.texts[i]));
  }
  return length;
}

bool remember_handed(OlderTextGuard& guard, const char* data, size_t size, bool& reader_done) {
  const std::string_view text(data, size);
  reader_done = text.starts_with(kHandedDone);
  const size_t header = reader_done ? kHandedDone.size() : kHandedPending.size();
  if ((!reader_done && !text.starts_with(kHandedPending)) || (size - header) % 17 != 0 ||
      (size - header) / 17 > kRemembered) {
    return false;
  }
  uint64_t hashes[kRemembered];
  size_t count = 0;
  for (size_t at = header; at < size; at += 17) {
    uint64_t hash = 0;
    for (size_t i = 0; i < 16; ++i) {
      const char c = data[at + i];
      const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
      if (digit < 0) return false;
      hash = hash << 4U | static_cast<uint64_t>(digit);
    }
    if (data[at + 16] != '\n') return false;
    hashes[count++] = hash;
  }
  for (size_t i = 0; i < count; ++i) remember(guard, hashes[i]);
  return true;
}

void note_newest(OlderTextGuard& guard, const char* data, size_t size, int64_t now) {
  guard.newest = hash_of(data, size);
  guard.since = now;
  guard.retaken = 0;
  guard.retakes = guard.all_retakes = 0;
  remember(guard, guard.newest);
}

void end_guard(OlderTextGuard& guard) { guard.since = -1; }

int64_t guard_left(const OlderTextGuard& guard, int64_t now) {
  if (guard.since < 0 || guard.retakes >= kMaxRetakes || guard.all_retakes >= kMaxAllRetakes) {
    return 0;
  }
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
  guard.retakes = hash == guard.retaken ? guard.retakes + 1 : 1;
  guard.retaken = hash;
  ++guard.all_retakes;
  return true;
}

}  // namespace nembit::owner
