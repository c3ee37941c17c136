#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "clipboard/owner/owner_socket.h"
#include "clipboard/owner_process.h"
#include "common/child_process.h"
#include "common/fd_posix.h"
#include "common/path.h"
#include "common/stop_signals.h"
#include "common/system_error.h"
#include "nembit/clipboard.h"

namespace nembit::clipboard {

OwnerProcess::OwnerProcess(const std::string& path) {
  const std::string name(own_name(path));
  int ends[2] = {-1, -1};
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
    throw Error(name + ": could not make a socket: " + errno_text(errno));
  }
  Fd mine(ends[0]);
  const Fd theirs(ends[1]);
  // A session of its own holds no terminal.
  int error = 0;
  pid_ = start_program({path, std::to_string(::getpid())},
                       {.input = theirs.get(), .output = theirs.get(), .errors = -1},
                       Apart::kSession, error);
  if (pid_ < 0) throw Error(name + ": could not start: " + errno_text(error));
  socket_ = mine.release();
  ::fcntl(socket_, F_SETFL, O_NONBLOCK);
}

std::unique_ptr<OwnerProcess> OwnerProcess::reach(const std::string& path) {
  sockaddr_un address{};
  if (!owner::owner_socket_address(path.c_str(), address)) return nullptr;
  Fd socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  // A full backlog, like no socket or nobody listening, is no owner to take
  // the run.
  if (socket.get() < 0 ||
      ::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    return nullptr;
  }
  std::unique_ptr<OwnerProcess> owner(new OwnerProcess());
  owner->socket_ = socket.release();
  return owner;
}

OwnerProcess::~OwnerProcess() {
  ::close(socket_);
  // One that serves goes on alone, and is reaped once it ends; one that
  // never held the selection ends with the run.
  if (pid_ < 0) return;
  if (serving_) {
    reap_when_ended(pid_);
  } else {
    kill_group(pid_);
  }
}

OwnerProcess::Io OwnerProcess::wait(short events, Clock::time_point deadline) {
  for (;;) {
    throw_if_stopped();
    const std::chrono::milliseconds slice = wait_slice(deadline);
    if (slice.count() <= 0) return Io::kTimedOut;
    pollfd entry{socket_, events, 0};
    const int ready = ::poll(&entry, 1, static_cast<int>(slice.count()));
    if (ready > 0) return Io::kDone;
    if (ready < 0 && errno != EINTR) return Io::kGone;
  }
}

OwnerProcess::Io OwnerProcess::send(std::string_view bytes, Clock::time_point deadline) {
  while (!bytes.empty()) {
    const ssize_t sent = ::send(socket_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent > 0) {
      bytes.remove_prefix(static_cast<size_t>(sent));
    } else if (sent < 0 && errno == EINTR) {
      continue;
    } else if (sent < 0 && errno == EAGAIN) {
      if (const Io io = wait(POLLOUT, deadline); io != Io::kDone) return io;
    } else {
      return Io::kGone;
    }
  }
  return Io::kDone;
}

OwnerProcess::Io OwnerProcess::read_line(std::string& line, Clock::time_point deadline) {
  for (;;) {
    if (const size_t end = received_.find('\n'); end != std::string::npos) {
      line.assign(received_, 0, end);
      received_.erase(0, end + 1);
      return Io::kDone;
    }
    char buffer[512];
    const ssize_t got = ::recv(socket_, buffer, sizeof buffer, 0);
    if (got > 0) {
      received_.append(buffer, static_cast<size_t>(got));
    } else if (got < 0 && (errno == EINTR || errno == EAGAIN)) {
      if (const Io io = wait(POLLIN, deadline); io != Io::kDone) return io;
    } else {
      return Io::kGone;
    }
  }
}

void OwnerProcess::kill() {
  if (pid_ >= 0) kill_group(std::exchange(pid_, -1));
}

}  // namespace nembit::clipboard
