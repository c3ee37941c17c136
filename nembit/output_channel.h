// A standard stream as the program's output writes to it: whole lines, never
// a wait that a stop signal or a deadline cannot end, and on a pipe, a FIFO
// or a stream socket never a line that the output cannot take whole. One
// implementation per platform (output_channel_posix.cpp,
// output_channel_win32.cpp).
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string_view>

namespace nembit {

/// What a standard stream is, as far as writing to it goes.
enum class OutputKind {
  kOther,     ///< A file or a device, which takes each write whole.
  kPipe,      ///< A pipe or a FIFO, which tells its room.
  kStream,    ///< A stream socket, which tells its room about.
  kDatagram,  ///< A datagram socket, which takes each write whole or not at all.
  kTerminal,  ///< A terminal, which does not tell its room.
};

/// What the platform keeps for an open channel: on POSIX, the descriptor it
/// writes through and the thread that writes for it, if any.
struct PlatformOutput;

/// A standard stream opened for writing (see open_output).
struct OutputChannel {
  int stream = 1;  ///< 1 output, 2 error.
  OutputKind kind = OutputKind::kOther;
  size_t piece = 0;  ///< The most that one write should hold: what a pipe or a
                     ///< socket takes whole by itself; 0 for no limit.
  std::shared_ptr<PlatformOutput> platform;  ///< Null where the platform keeps nothing.
};

/// Opens standard stream `stream` (1 output, 2 error) for the output. The
/// stream's own file description, which the process shares with whoever
/// started it, keeps its flags: where a write to it could block (a pipe, a
/// FIFO, a terminal), the channel writes through a description of its own
/// that never blocks, with the stream's own access, where the system gives
/// one, and otherwise from a thread that the run may leave behind, blocked.
/// A stream not open for writing is never opened for writing. Without
/// `open_apart`, the channel does as where the system gives no description
/// of its own, for tests.
OutputChannel open_output(int stream, bool open_apart = true);

/// Closes what open_output() opened for the channel; it then writes to the
/// stream itself.
void close_output(OutputChannel& channel);

/// Writes `bytes`, whole lines, to the channel, with `written` telling how
/// many went out. Every wait for the stream is a poll that looks for a stop
/// signal (see common/stop_signals.h) at least every kStopCheckInterval. On
/// a pipe, a FIFO or a stream socket, `bytes` is written only once the
/// output certainly has room for all of it, so that a run that ends at any
/// moment leaves no line cut off there; `bytes` longer than the output can
/// ever hold (a pipe after it has been made as large as the system allows)
/// go as the room allows. A datagram socket takes `bytes` as one datagram,
/// or fails. A terminal, which does not tell its room, takes what it takes.
/// Returns 0 once all is written; EINTR when a stop signal was noted while
/// it waited, with a `patience` below zero; EAGAIN when the stream took
/// nothing more for `patience` (zero or more); otherwise the system's error
/// number.
int write_output(const OutputChannel& channel, std::string_view bytes,
                 std::chrono::milliseconds patience, size_t& written);

}  // namespace nembit
