// What the clipboard owners of one display remember across runs: whether a
// reader of a run's texts was seen there, such as a clipboard manager, and
// when. A run alone cannot tell a manager that comes late to its texts from
// none at all: one that re-serves what it read may put an older text back
// after the run, and one that finds a text replaced reads nothing. So a run
// gives its first text a chance to be asked for, and takes back late older
// texts, where a manager was seen lately; where none was, it waits for no
// reader, and a text that another client puts back stands.
#pragma once

#include <cstddef>
#include <cstdint>

namespace nembit::owner {

/// How long a reader seen on a display is expected there again.
constexpr int64_t kReaderMemorySeconds = int64_t{24} * 60 * 60;

/// How long the texts a run's owner remembers stay known to the next runs'
/// owners as older texts, which a manager late by seconds may put back.
constexpr int64_t kKeptTextsSeconds = 60;

struct OlderTextGuard;

/// What the owners of a display remember, in seconds of the wall clock; -1
/// for never.
struct DesktopMemory {
  int64_t reader_seen = -1;  ///< When a run last saw a reader have a text of its whole.
  int64_t unasked = -1;      ///< When a run last gave its first text a chance that nobody took.
};

/// What a run expects of the readers of its display.
enum class ReaderExpectation {
  kUnknown,  ///< Nothing remembered: a run goes by what it sees itself.
  kManager,  ///< A manager reads each text: the first has its chance, late older ones are taken
             ///< back.
  kNone,     ///< No reader: nothing waits, and a text that another client puts back stands.
};

/// What the remembered `memory` (null for none) lets a run expect at `now`:
/// a manager where a reader was seen within kReaderMemorySeconds, and no
/// later run waited in vain; no reader otherwise.
ReaderExpectation expect_readers(const DesktopMemory* memory, int64_t now);

/// The memory in the `size` bytes at `text`; false when they hold none,
/// such as a file of another kind or cut short.
bool parse_memory(const char* text, size_t size, DesktopMemory& memory);

/// `memory` as its file holds it, in `buffer` of `size` bytes; its length.
size_t format_memory(const DesktopMemory& memory, char* buffer, size_t size);

/// The file that the owners of the display `display` (WAYLAND_DISPLAY or
/// DISPLAY) remember in: in the user's runtime folder `runtime_dir`, named
/// for the display with what is not a letter, a digit, "-" or "." written
/// "_". False when there is no runtime folder, or the name does not fit.
bool memory_path(const char* runtime_dir, const char* kind, const char* display, char* path,
                 size_t size);

/// Reads the memory at `path`, a regular file of this user's; false for a
/// file that is missing, another user's, unreadable or holds none.
bool read_memory(const char* path, DesktopMemory& memory);

/// Writes `memory` to `path`, whole or not at all, readable by this user
/// alone; a failure is no error: the next run goes by what it sees.
void write_memory(const char* path, const DesktopMemory& memory);

/// The memory of the display that an owner serves, as it reads and updates it.
struct DisplayMemory {
  char path[4096] = {};  ///< Empty where no memory is kept (no runtime folder).
  DesktopMemory memory;
  ReaderExpectation expected = ReaderExpectation::kUnknown;
  bool first_unasked = false;  ///< The run's first text waited for a reader in vain.
  /// The owner before ended just now, its reader not done with its text (see
  /// reader_done in read_chance.h): a manager that re-served that text is
  /// busy with it still.
  bool reader_busy = false;
};

/// Reads what the owners remember of the display `display` of `kind`, in
/// XDG_RUNTIME_DIR, and what it lets a run expect at `now`; `guard`
/// remembers the texts that an owner kept there (see keep_texts) within
/// kKeptTextsSeconds before `now`, and `reader_busy` tells whether their
/// reader was not done with them within kReaderBusyMs before `now`.
void recall(DisplayMemory& display, const char* kind, const char* display_name,
            OlderTextGuard& guard, int64_t now);

/// Notes in the display's memory that a reader had a text of the run whole
/// at `now`.
void remember_reader(DisplayMemory& display, int64_t now);

/// Notes, as the owner ends at `now`, that nobody asked for the run's first
/// text where it waited (`first_unasked`), unless a reader had any text of
/// the run while the owner served (`reader_seen`), as a manager busy at the
/// run's start does later; and keeps the texts that `guard` remembers, and
/// whether a reader is done with the text held (`reader_done`).
void end_run(DisplayMemory& display, bool reader_seen, const OlderTextGuard& guard,
             bool reader_done, int64_t now);

/// Ends the run that the owner served, as end_run() does, when the next run
/// reaches the owner at `now`; the owner then expects what that run learnt.
void end_run_for_next(DisplayMemory& display, bool reader_seen, const OlderTextGuard& guard,
                      bool reader_done, int64_t now);

/// Keeps the texts that `guard` remembers beside the display's memory, for
/// the owners of the next runs: a manager late by seconds may put one back;
/// and whether a reader is done with the text held (`reader_done`).
void keep_texts(const DisplayMemory& display, const OlderTextGuard& guard, bool reader_done);

}  // namespace nembit::owner
