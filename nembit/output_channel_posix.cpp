#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <utility>

#include "common/stop_signals.h"
#include "output_channel.h"
#include "output_room.h"

namespace nembit {

namespace {

// The writes that a thread of the channel's own makes, as write_output()
// hands them over.
struct BackgroundWrites {
  OutputKind kind = OutputKind::kOther;
  int fd = -1;
  std::mutex mutex;
  std::condition_variable changed;
  std::string bytes;  ///< What the thread writes now; empty while it waits.
  int error = 0;      ///< Why a write failed, once one has.
};

}  // namespace

struct PlatformOutput {
  int fd = -1;          ///< What is written through: the stream itself, or a
                        ///< descriptor of the channel's own on the same pipe,
                        ///< FIFO or terminal, which never blocks.
  bool own_fd = false;  ///< Whether `fd` is closed with this.
  /// Where writes go that could block the run, made on a thread of their own:
  /// through a stream that may block and that the channel could not open
  /// apart; null for none.
  std::shared_ptr<BackgroundWrites> background;

  PlatformOutput() = default;
  PlatformOutput(const PlatformOutput&) = delete;
  PlatformOutput& operator=(const PlatformOutput&) = delete;
  ~PlatformOutput() {
    if (own_fd) ::close(fd);
  }
};

namespace {

// How long a wait naps when the output has some room, but not enough.
constexpr std::chrono::milliseconds kNap{10};

// A description of its own on the pipe, FIFO or terminal that `fd` names,
// with `fd`'s access, which never blocks; -1 where the system gives none
// (no /proc, a terminal of another user's, or a FIFO whose reader has gone).
int open_own(int fd, int access) {
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  return ::open(path.c_str(), access | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
}

// What the pipe `fd` can hold in all, 0 where it cannot tell.
size_t pipe_capacity(int fd) {
  const int size = ::fcntl(fd, F_GETPIPE_SZ);
  return size > 0 ? static_cast<size_t>(size) : 0;
}

// How much of the `remaining` bytes to write now to the pipe `fd` (see
// pipe_piece). A pipe that holds nothing is first made as large as the
// bytes, once (`grown`).
size_t pipe_how_much(int fd, size_t remaining, size_t& capacity, bool& grown) {
  if (remaining <= PIPE_BUF || capacity == 0) return remaining;
  int held = 0;
  if (::ioctl(fd, FIONREAD, &held) != 0 || held < 0) return remaining;
  if (held == 0 && remaining > capacity && !std::exchange(grown, true) && remaining <= INT_MAX &&
      ::fcntl(fd, F_SETPIPE_SZ, static_cast<int>(remaining)) > 0) {
    capacity = pipe_capacity(fd);
  }
  return pipe_piece(remaining, PIPE_BUF, {.capacity = capacity, .held = static_cast<size_t>(held)});
}

// How much of the `remaining` bytes to write now to the stream socket `fd`
// (see stream_piece).
size_t stream_how_much(int fd, size_t remaining) {
  int buffer = 0;
  socklen_t length = sizeof buffer;
  int queued = 0;
  sockaddr_storage address{};
  socklen_t address_length = sizeof address;
  if (::getsockopt(fd, SOL_SOCKET, SO_SNDBUF, &buffer, &length) != 0 ||
      ::ioctl(fd, TIOCOUTQ, &queued) != 0 || buffer <= 0 || queued < 0) {
    return remaining;
  }
  const bool local =
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &address_length) == 0 &&
      address.ss_family == AF_UNIX;
  return stream_piece(remaining, {.buffer = static_cast<size_t>(buffer),
                                  .queued = static_cast<size_t>(queued),
                                  .local = local});
}

// How much of the `remaining` bytes to write now (see write_output).
size_t how_much(OutputKind kind, int fd, size_t remaining, size_t& capacity, bool& grown) {
  switch (kind) {
    case OutputKind::kPipe:
      return pipe_how_much(fd, remaining, capacity, grown);
    case OutputKind::kStream:
      return stream_how_much(fd, remaining);
    default:
      return remaining;
  }
}

// The end of a call's waits: patience below zero waits until a stop signal.
// It is real time, on the steady clock: the grace after a stop ends however
// often the run is continued.
struct Patience {
  bool bounded;
  std::chrono::steady_clock::time_point until;

  // No end: for a thread that the process may leave behind, blocked.
  static Patience forever() {
    return {.bounded = true, .until = std::chrono::steady_clock::time_point::max()};
  }

  // How long the next wait may take: a slice, or 0 once the patience is spent.
  std::chrono::milliseconds slice() const {
    if (!bounded) return kStopCheckInterval;
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
    return std::clamp(left, std::chrono::milliseconds(0), kStopCheckInterval);
  }
  // Why a wait ends now: EINTR for a stop without bounded patience, EAGAIN
  // once the patience is spent; 0 to wait on.
  int reason_to_end() const {
    if (!bounded) return stop_signal() != 0 ? EINTR : 0;
    return slice().count() <= 0 ? EAGAIN : 0;
  }
};

// Waits a slice for `fd` to take a write, or only naps, as `nap` says; 0 to
// try again, or why the wait ends.
int wait_for(int fd, bool nap, const Patience& patience) {
  if (const int reason = patience.reason_to_end()) return reason;
  std::chrono::milliseconds slice = patience.slice();
  if (nap) slice = std::min(slice, kNap);
  pollfd entry{fd, POLLOUT, 0};
  if (::poll(&entry, nap ? 0 : 1, static_cast<int>(slice.count())) < 0 && errno != EINTR) {
    return errno;
  }
  return patience.reason_to_end();
}

// Writes up to `size` bytes without blocking where the channel can.
ssize_t write_some(OutputKind kind, int fd, const char* data, size_t size) {
  if (kind == OutputKind::kStream || kind == OutputKind::kDatagram) {
    return ::send(fd, data, size, MSG_DONTWAIT);
  }
  return ::write(fd, data, size);
}

// Writes `bytes` through `fd`, an output of `kind`, as its room allows (see
// how_much), and as long as `patience` allows; 0, or why it stopped, with
// `written` telling how many went out.
int write_room(OutputKind kind, int fd, std::string_view bytes, const Patience& patience,
               size_t& written) {
  written = 0;
  size_t capacity = kind == OutputKind::kPipe ? pipe_capacity(fd) : 0;
  bool grown = false;
  while (written < bytes.size()) {
    const size_t now = how_much(kind, fd, bytes.size() - written, capacity, grown);
    if (now > 0) {
      const ssize_t put = write_some(kind, fd, bytes.data() + written, now);
      if (put >= 0) {
        written += static_cast<size_t>(put);
        continue;
      }
      if (errno != EAGAIN && errno != EINTR) return errno;
    }
    // Room that a pipe or a socket lacks cannot be polled for: a nap then.
    if (const int error = wait_for(fd, now == 0, patience)) return error;
  }
  return 0;
}

// Writes what is handed over, for as long as the process lives, by the same
// rule of room as the channel itself: a write that blocks holds up this
// thread alone, and one that a stop ends midway cuts no line.
void background_loop(const std::shared_ptr<BackgroundWrites>& writes) {
  std::unique_lock lock(writes->mutex);
  for (;;) {
    writes->changed.wait(lock, [&] { return !writes->bytes.empty(); });
    // Nothing else touches the bytes until they are cleared.
    const std::string_view bytes = writes->bytes;
    lock.unlock();
    size_t written = 0;
    const int error = write_room(writes->kind, writes->fd, bytes, Patience::forever(), written);
    lock.lock();
    writes->bytes.clear();
    if (writes->error == 0) writes->error = error;
    writes->changed.notify_all();
  }
}

// Writes through `fd`, an output of `kind`, from a thread of their own; null
// where no thread can be had, and the channel then writes through `fd`
// itself.
std::shared_ptr<BackgroundWrites> start_background(OutputKind kind, int fd) {
  auto writes = std::make_shared<BackgroundWrites>();
  writes->kind = kind;
  writes->fd = fd;
  try {
    std::thread([writes] { background_loop(writes); }).detach();
  } catch (const std::system_error&) {
    return nullptr;
  }
  return writes;
}

// Hands `bytes` to the channel's thread and waits until it has written them,
// as write_output() waits. Bytes handed over count as written: the thread
// writes them, if it can, also when the wait for it ends first.
int write_in_background(BackgroundWrites& writes, std::string_view bytes, const Patience& patience,
                        size_t& written) {
  std::unique_lock lock(writes.mutex);
  for (bool handed = false;;) {
    if (writes.error != 0) return writes.error;
    if (writes.bytes.empty() && handed) {
      written = bytes.size();
      return 0;
    }
    if (writes.bytes.empty()) {
      writes.bytes.assign(bytes);
      handed = true;
      writes.changed.notify_all();
    }
    if (const int reason = patience.reason_to_end()) {
      if (handed) written = bytes.size();
      return reason;
    }
    writes.changed.wait_for(lock, patience.slice());
  }
}

}  // namespace

OutputChannel open_output(int stream, bool open_apart) {
  OutputChannel channel;
  channel.stream = stream;
  channel.platform = std::make_shared<PlatformOutput>();
  PlatformOutput& platform = *channel.platform;
  platform.fd = stream;
  struct stat info {};
  if (::fstat(stream, &info) != 0) return channel;
  if (S_ISFIFO(info.st_mode)) {
    channel.kind = OutputKind::kPipe;
    channel.piece = PIPE_BUF;
  } else if (S_ISSOCK(info.st_mode)) {
    int type = 0;
    socklen_t length = sizeof type;
    const bool stream_socket =
        ::getsockopt(stream, SOL_SOCKET, SO_TYPE, &type, &length) == 0 && type == SOCK_STREAM;
    channel.kind = stream_socket ? OutputKind::kStream : OutputKind::kDatagram;
    channel.piece = PIPE_BUF;
  } else if (::isatty(stream) == 1) {
    channel.kind = OutputKind::kTerminal;
  }
  const int flags = ::fcntl(stream, F_GETFL);
  const int access = flags & O_ACCMODE;
  if ((channel.kind != OutputKind::kPipe && channel.kind != OutputKind::kTerminal) || flags < 0 ||
      access == O_RDONLY) {
    return channel;
  }
  if (const int own = open_apart ? open_own(stream, access) : -1; own >= 0) {
    platform.fd = own;
    platform.own_fd = true;
  } else if ((flags & O_NONBLOCK) == 0) {
    platform.background = start_background(channel.kind, stream);
  }
  return channel;
}

void close_output(OutputChannel& channel) { channel.platform.reset(); }

int write_output(const OutputChannel& channel, std::string_view bytes,
                 std::chrono::milliseconds patience, size_t& written) {
  const Patience until{.bounded = patience.count() >= 0,
                       .until = std::chrono::steady_clock::now() + patience};
  written = 0;
  const PlatformOutput* platform = channel.platform.get();
  if (platform != nullptr && platform->background) {
    return write_in_background(*platform->background, bytes, until, written);
  }
  const int fd = platform != nullptr ? platform->fd : channel.stream;
  return write_room(channel.kind, fd, bytes, until, written);
}

}  // namespace nembit
