#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <string>
#include <utility>

#include "common/run_clock.h"
#include "common/stop_signals.h"
#include "output_channel.h"

namespace nembit {

namespace {

enum Kind : int { kOther = 0, kPipe, kSocket, kTerminal };

// How long a wait naps when the output has some room, but not enough.
constexpr std::chrono::milliseconds kNap{10};

// A description of its own on the pipe, FIFO or terminal that `fd` names,
// which never blocks; -1 where the system gives none (no /proc, or a FIFO
// whose reader has gone).
int open_own(int fd) {
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  return ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
}

size_t page_size() { return static_cast<size_t>(::sysconf(_SC_PAGESIZE)); }

// What the pipe `fd` can hold in all, 0 where it cannot tell.
size_t pipe_capacity(int fd) {
  const int size = ::fcntl(fd, F_GETPIPE_SZ);
  return size > 0 ? static_cast<size_t>(size) : 0;
}

// Bytes that one write to the pipe `fd` of `capacity` puts there now without
// waiting, at the least: its pages, but for those that what it holds takes,
// one of them perhaps read in part, another written in part. SIZE_MAX where
// it cannot tell.
size_t pipe_room(int fd, size_t capacity) {
  int held = 0;
  if (capacity == 0 || ::ioctl(fd, FIONREAD, &held) != 0 || held < 0) return SIZE_MAX;
  const size_t page = page_size();
  const size_t taken = (static_cast<size_t>(held) + page - 1) / page * page + page;
  return capacity > taken ? capacity - taken : 0;
}

// Bytes that the socket `fd` takes now without waiting, about; SIZE_MAX where
// it cannot tell.
size_t socket_room(int fd) {
  int buffer = 0;
  socklen_t length = sizeof buffer;
  int queued = 0;
  if (::getsockopt(fd, SOL_SOCKET, SO_SNDBUF, &buffer, &length) != 0 ||
      ::ioctl(fd, TIOCOUTQ, &queued) != 0) {
    return SIZE_MAX;
  }
  return buffer > queued ? static_cast<size_t>(buffer - queued) : 0;
}

// The end of a call's waits: patience below zero waits until a stop signal.
struct Patience {
  bool bounded;
  RunClock::time_point until;
};

// Waits a slice for `fd` to take a write, or only naps, as `nap` says; 0 to
// try again, EINTR for a stop without bounded patience, EAGAIN once the
// patience is spent.
int wait_for(int fd, bool nap, const Patience& patience) {
  std::chrono::milliseconds slice = kStopCheckInterval;
  if (patience.bounded) {
    slice = wait_slice(patience.until);
    if (slice.count() <= 0) return EAGAIN;
  }
  if (nap) slice = std::min(slice, kNap);
  pollfd entry{fd, POLLOUT, 0};
  if (::poll(&entry, nap ? 0 : 1, static_cast<int>(slice.count())) < 0 && errno != EINTR) {
    return errno;
  }
  if (!patience.bounded && stop_signal() != 0) return EINTR;
  return 0;
}

// Writes up to `size` bytes without blocking where the channel can.
ssize_t write_some(const OutputChannel& channel, const char* data, size_t size) {
  if (channel.kind == kSocket) return ::send(channel.fd, data, size, MSG_DONTWAIT);
  return ::write(channel.fd, data, size);
}

// How much of the `remaining` bytes to write now: all once the room takes
// them, nothing while it does not, and what fits when they never can (a
// pipe is made larger first, once: `grown`).
size_t how_much(const OutputChannel& channel, size_t remaining, size_t& capacity, bool& grown) {
  if (channel.kind == kSocket) return socket_room(channel.fd) >= remaining ? remaining : 0;
  if (channel.kind != kPipe) return remaining;
  size_t room = pipe_room(channel.fd, capacity);
  if (room == SIZE_MAX || room >= remaining) return remaining;
  const size_t most = capacity > 2 * page_size() ? capacity - 2 * page_size() : 0;
  if (remaining <= most) return 0;
  // Longer than the pipe holds: as large as it may be made, then what fits.
  const size_t wanted = remaining + 2 * page_size();
  if (!std::exchange(grown, true) && wanted <= INT_MAX &&
      ::fcntl(channel.fd, F_SETPIPE_SZ, static_cast<int>(wanted)) > 0) {
    capacity = pipe_capacity(channel.fd);
    room = pipe_room(channel.fd, capacity);
    if (room == SIZE_MAX || room >= remaining) return remaining;
    if (remaining + 2 * page_size() <= capacity) return 0;
  }
  return room;
}

}  // namespace

OutputChannel open_output(int stream) {
  OutputChannel channel{.stream = stream, .fd = stream};
  struct stat info {};
  if (::fstat(stream, &info) != 0) return channel;
  if (S_ISFIFO(info.st_mode)) {
    channel.kind = kPipe;
    channel.piece = PIPE_BUF;
  } else if (S_ISSOCK(info.st_mode)) {
    channel.kind = kSocket;
    channel.piece = PIPE_BUF;
  } else if (::isatty(stream) == 1) {
    channel.kind = kTerminal;
    channel.terminal = true;
  }
  if (channel.kind == kPipe || channel.kind == kTerminal) {
    if (const int own = open_own(stream); own >= 0) {
      channel.fd = own;
      channel.own_fd = true;
    }
  }
  return channel;
}

void close_output(OutputChannel& channel) {
  if (channel.own_fd) ::close(channel.fd);
  channel.own_fd = false;
  channel.fd = channel.stream;
}

int write_output(const OutputChannel& channel, std::string_view bytes,
                 std::chrono::milliseconds patience, size_t& written) {
  const Patience until{.bounded = patience.count() >= 0, .until = RunClock::now() + patience};
  size_t capacity = channel.kind == kPipe ? pipe_capacity(channel.fd) : 0;
  bool grown = false;
  written = 0;
  while (written < bytes.size()) {
    const size_t now = how_much(channel, bytes.size() - written, capacity, grown);
    if (now > 0) {
      const ssize_t put = write_some(channel, bytes.data() + written, now);
      if (put >= 0) {
        written += static_cast<size_t>(put);
        continue;
      }
      if (errno != EAGAIN && errno != EINTR) return errno;
    }
    // Room that a pipe or a socket lacks cannot be polled for: a nap then.
    if (const int error = wait_for(channel.fd, now == 0, until)) {
      return error;
    }
  }
  return 0;
}

}  // namespace nembit
