// When a clipboard owner may replace the text it holds with a newer one: as
// soon as a newer one comes, unless a reader that asked for the text does
// not have it yet, or a clipboard manager may still ask for it. A manager
// reads each new selection as it appears, within milliseconds, and one that
// asks for a text already replaced reads nothing; it is known only by its
// reads. So the run's first text waits a moment for one to ask, where one
// may be, and each later text, once a reader was seen, until a reader has
// it or that moment has passed. What a manager that re-serves what it read
// puts back late is the older-text guard's (older_text_guard.h).
#pragma once

#include <cstdint>

#include "clipboard/owner/nembit_link.h"
#include "common/time_limits.h"

namespace nembit::owner {

/// How long a reader (a Wayland client's pipe, an X11 requestor's INCR
/// transfer) may take nothing before the owner gives it up: the longest that
/// nembit waits for one call.
constexpr int64_t kReaderLimitMs = kCallLimit.count();

/// How long a text stays while a reader that asked for it does not have it
/// yet, whatever else: a reader that stalls holds up no copy for long.
constexpr int64_t kReaderHoldMs = 500;

/// How long a text stays, where it has the chance (see hold_left), for a
/// reader to ask for it: a manager asks within milliseconds of the
/// selection's change, and is then waited for.
constexpr int64_t kAskMs = 30;

/// How long a reader that had a text whole may be busy with it, and slow to
/// ask for the next: a manager stores what it read, and may re-serve it
/// through a tool of its own, which takes half a second.
constexpr int64_t kReaderBusyMs = 1000;

/// What the owner knows of the readers of the text it holds.
struct ReadChance {
  int64_t set_at = -1;       ///< When the text became the selection; -1 before the first.
  bool first = true;         ///< The text is the run's first.
  bool reader_seen = false;  ///< A reader has had one of the run's texts whole.
  bool read = false;         ///< A reader has had the text held whole.
  bool owned = false;        ///< The text is still the selection.
  int readers = 0;           ///< Readers that asked for the text and do not have it yet.
};

/// Notes that a new text became the selection at `now`.
void note_new_text(ReadChance& chance, int64_t now);

/// Notes that another client has taken the selection from the text.
void note_taken_over(ReadChance& chance);

/// Notes that a reader has had a text of the run whole: the text held
/// (`held`), or one before it.
void note_read(ReadChance& chance, bool held = true);

/// Milliseconds until the text may be replaced at `now`; 0 when it may be
/// now. Until a reader has had it, a text waits kAskMs for one to ask: the
/// run's first with `first_text_chance`, since where a reader that comes
/// late finds nothing, as under Wayland, a manager can only be told from its
/// first read; any later one once a reader was seen.
int64_t hold_left(const ReadChance& chance, int64_t now, bool first_text_chance);

/// Whether the run's first text, held at its chance, has had no reader ask
/// for it: where it was given the chance to wait for one, none was there.
bool first_text_unasked(const ReadChance& chance);

/// Whether a reader that had a text whole at `read_at` (-1 for none yet) is
/// done with it at `now` (see kReaderBusyMs). A manager not done with the
/// text before a run asks for the run's first too late for its chance.
bool reader_done(int64_t read_at, int64_t now);

/// The newest text from nembit, while the one held has its chance.
struct WaitingText {
  Bytes text;
  bool waiting = false;
};

/// Takes `text`, the newest from nembit, in place of one that waits, which
/// a newer one has overtaken: that one counts as copied, and is answered so.
void queue_text(WaitingText& waiting, Bytes text);

/// Hands the text that waits to `text` once the one held has had its chance
/// at `now` (see hold_left) and returns true; otherwise false, with how long
/// it may wait still in `wait`, or -1 when none waits.
bool take_turn(WaitingText& waiting, const ReadChance& chance, bool first_text_chance, int64_t now,
               Bytes& text, int& wait);

}  // namespace nembit::owner
