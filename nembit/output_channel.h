// A standard stream as the program's output writes to it: whole lines, never
// a wait that a stop signal or a deadline cannot end, and on a pipe, a FIFO
// or a socket never a line that the output cannot take whole. One
// implementation per platform (output_channel_posix.cpp,
// output_channel_win32.cpp).
#pragma once

#include <chrono>
#include <cstddef>
#include <string_view>

namespace nembit {

/// A standard stream opened for writing (see open_output).
struct OutputChannel {
  int stream = 1;         ///< 1 output, 2 error.
  int fd = -1;            ///< What is written through: the stream itself, or a
                          ///< descriptor of the channel's own on the same
                          ///< pipe, FIFO or terminal, which never blocks.
  bool own_fd = false;    ///< Whether close_output() closes `fd`.
  int kind = 0;           ///< What the stream is, as the platform tells it.
  bool terminal = false;  ///< A terminal, which takes each line as it is done.
  size_t piece = 0;       ///< The most that one write should hold: what a pipe
                          ///< or a socket takes whole by itself; 0 for no limit.
};

/// Opens standard stream `stream` (1 output, 2 error) for the output. The
/// stream's own file description, which the process shares with whoever
/// started it, keeps its flags: where a write to it could block (a pipe, a
/// FIFO, a terminal), the channel writes through a description of its own
/// that never blocks, where the system gives one.
OutputChannel open_output(int stream);

/// Closes what open_output() opened for the channel.
void close_output(OutputChannel& channel);

/// Writes `bytes`, whole lines, to the channel, with `written` telling how
/// many went out. Every wait for the stream is a poll that looks for a stop
/// signal (see common/stop_signals.h) at least every kStopCheckInterval. On
/// a pipe or a FIFO, `bytes` is written only once the room the output has
/// takes all of it, so that a run that ends at any moment leaves no line
/// cut off there; `bytes` longer than the pipe can ever hold (after it has
/// been made as large as the system allows) go as the room allows. On a
/// socket and a terminal, which do not tell their room, what the stream
/// takes goes out. Returns 0 once all is written; EINTR when a stop signal
/// was noted while it waited, with a `patience` below zero; EAGAIN when the
/// stream took nothing more for `patience` (zero or more); otherwise the
/// system's error number.
int write_output(const OutputChannel& channel, std::string_view bytes,
                 std::chrono::milliseconds patience, size_t& written);

}  // namespace nembit
