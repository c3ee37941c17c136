// When the Wayland owner puts its newest text back on the clipboard. A
// clipboard manager re-serves each text it reads, so that the text outlives
// its owner; one that comes too late may put an older text back after the
// newest: one of the run's, or, having read a replaced text as empty, what
// the clipboard held before the run. Such a text, set by another client
// soon after the newest came or after the manager last re-served a text of
// the run, gets the newest put back on top, a few times at most; but only
// where a reader of the run was seen, since a script or a user who puts
// back what the clipboard held means it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace nembit::owner {

/// How long after the newest text became the selection, or another client
/// last re-served a text of the run, an older one that another client puts
/// back is taken for a manager's late re-serve.
constexpr int64_t kGuardMs = 5000;

/// How often the newest is put back on top of one older text: one that
/// comes back again and again is meant.
constexpr int kMaxRetakes = 3;

/// How often the newest is put back in all, on top of the older texts that a
/// manager late by seconds may re-serve one after another.
constexpr int kMaxAllRetakes = 16;

/// How many of the run's latest texts an older one is looked for among.
constexpr size_t kRemembered = 256;

/// What the owner remembers to tell an older text put back.
struct OlderTextGuard {
  uint64_t texts[kRemembered] = {};  ///< Hashes of the latest texts, and of the one before the run.
  size_t count = 0;
  uint64_t newest = 0;   ///< The hash of the newest text.
  int64_t since = -1;    ///< When it became the selection, or a text of the run
                         ///< was last re-served; -1 before the run's first.
  uint64_t retaken = 0;  ///< The hash of the older text it was last put back on.
  int retakes = 0;       ///< How often it was put back on that text.
  int all_retakes = 0;   ///< How often it was put back in all.
};

/// Remembers `size` bytes at `data`, what the clipboard held before the run.
void remember_before_run(OlderTextGuard& guard, const char* data, size_t size);

/// The most that handed_texts() writes.
constexpr size_t kHandedSize = 24 + 17 * kRemembered;

/// The texts that `guard` remembers, as an owner hands them to the next
/// run's owner, which takes the clipboard from it, and whether a reader of
/// the text it holds is done with it (`reader_done`, see read_chance.h): in
/// `buffer` of `size` bytes (kHandedSize); their length.
size_t handed_texts(const OlderTextGuard& guard, bool reader_done, char* buffer, size_t size);

/// Remembers the texts that the owner before hands over in `size` bytes at
/// `data` (see handed_texts), and tells in `reader_done` whether a reader of
/// the text it held was done with it; false, remembering nothing, for bytes
/// of another kind, such as an owner of another version gives.
bool remember_handed(OlderTextGuard& guard, const char* data, size_t size, bool& reader_done);

/// Notes that `size` bytes at `data`, the run's newest text, became the
/// selection at `now`.
void note_newest(OlderTextGuard& guard, const char* data, size_t size, int64_t now);

/// Ends the guard of the newest text, as another run's owner or a new text
/// that takes the clipboard does.
void end_guard(OlderTextGuard& guard);

/// Milliseconds that the newest is guarded still at `now`; 0 when it is not.
int64_t guard_left(const OlderTextGuard& guard, int64_t now);

/// Whether the newest goes back on top of `size` bytes at `data`, which
/// another client made the selection and which were read whole at `now`:
/// they are one of the latest texts but the newest, or what the clipboard
/// held before the run, within the guard, and a reader of the run was seen
/// (`reader_seen`). Counts the retake when so; any text of the run that
/// comes back, the newest too, starts the guard afresh, and a new text ends
/// it.
bool take_back(OlderTextGuard& guard, const char* data, size_t size, int64_t now, bool reader_seen);

}  // namespace nembit::owner
