// How much of what is left to write an output certainly takes whole now,
// from what it tells of its room: the rules that keep every line whole on a
// pipe or a stream socket, whenever the run ends.
#pragma once

#include <cstddef>

namespace nembit {

/// What a pipe tells of its room.
struct PipeRoom {
  size_t capacity = 0;  ///< What it holds in all; 0 where it cannot tell.
  size_t held = 0;      ///< What it holds now.
};

/// How much of `remaining` bytes to write now to a pipe: as many as it takes
/// whole by itself (`atomic`, PIPE_BUF), at once; more only once it holds
/// nothing, as what it holds may take a page for every write, and no more
/// than it holds in all; nothing while it holds something.
size_t pipe_piece(size_t remaining, size_t atomic, const PipeRoom& room);

/// What a stream socket tells of its room.
struct SocketRoom {
  size_t buffer = 0;  ///< Its send buffer, as SO_SNDBUF tells it.
  size_t queued = 0;  ///< What it holds, not yet sent (TIOCOUTQ).
  /// A UNIX socket, whose queue counts the kernel's bookkeeping as its
  /// buffer does; elsewhere (TCP) the queue counts the bytes alone, and half
  /// the buffer holds them certainly, as the kernel doubles it for that.
  bool local = false;
};

/// How much of `remaining` bytes to write now to a stream socket: all where
/// the room that certainly holds bytes, less what is queued, holds them;
/// nothing while it does not; as much as it holds when they are more than it
/// ever holds.
size_t stream_piece(size_t remaining, const SocketRoom& room);

}  // namespace nembit
