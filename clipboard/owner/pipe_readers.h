// The readers that the Wayland owner serves a text to, each through a pipe
// it gave: without waiting on any of them, the text shared rather than
// copied, and one that stops reading for kReaderLimitMs given up.
#pragma once

#include <cstddef>
#include <cstdint>

#include "clipboard/owner/bytes.h"

namespace nembit::owner {

/// How many readers are served at once; one more gets nothing.
constexpr size_t kMaxReaders = 64;

/// One client taking a text through the pipe it gave.
struct PipeReader {
  int fd = -1;  ///< -1 for a free place.
  Bytes text;
  size_t sent = 0;
  int64_t deadline = 0;  ///< When it is given up unless it takes more.
  bool of_run = true;    ///< It takes a text of the run, not the owners' own.
};

/// The readers under way.
struct PipeReaders {
  PipeReader each[kMaxReaders];
};

/// Starts serving `text`, a text of the run or not (`of_run`), through the
/// pipe `fd` at `now`, which it makes non-blocking; null, with `fd` closed,
/// when too many are under way.
PipeReader* add_reader(PipeReaders& readers, int fd, const Bytes& text, int64_t now,
                       bool of_run = true);

/// Writes what the reader's pipe takes at `now`. Once the reader has the text
/// whole, or stops reading, it ends: true then, with `whole` telling which.
bool serve_pipe(PipeReader& reader, int64_t now, bool& whole);

/// Ends the reader, which frees its place.
void end_reader(PipeReader& reader);

/// How many readers of the text at `data` do not have it all yet.
int readers_of(const PipeReaders& readers, const char* data);

/// Ends the readers that have taken nothing in time at `now`; how long the
/// next one may wait still, or -1 when none is under way.
int64_t end_stalled(PipeReaders& readers, int64_t now);

/// Whether any reader is under way.
bool any_reader(const PipeReaders& readers);

}  // namespace nembit::owner
