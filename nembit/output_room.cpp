#include "output_room.h"

#include <algorithm>

namespace nembit {

size_t pipe_piece(size_t remaining, size_t atomic, const PipeRoom& room) {
  if (remaining <= atomic || room.capacity == 0) return remaining;
  if (room.held > 0) return 0;
  return std::min(remaining, room.capacity);
}

size_t stream_piece(size_t remaining, const SocketRoom& room) {
  const size_t holds = room.local ? room.buffer : room.buffer / 2;
  const size_t left = holds > room.queued ? holds - room.queued : 0;
  if (left >= remaining) return remaining;
  return remaining > holds ? left : 0;
}

}  // namespace nembit
