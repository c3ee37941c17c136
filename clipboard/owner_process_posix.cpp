#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>

#include "clipboard/owner_process.h"
#include "clipboard/tool.h"
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
  pid_ = start_program({path}, {.input = theirs.get(), .output = theirs.get(), .errors = -1},
                       Apart::kSession);
  socket_ = mine.release();
  ::fcntl(socket_, F_SETFL, O_NONBLOCK);
}

OwnerProcess::~OwnerProcess() {
  ::close(socket_);
  // An owner that has ended is reaped; one that serves goes on alone.
  int status = 0;
  ::waitpid(pid_, &status, WNOHANG);
}

OwnerProcess::Io OwnerProcess::wait(short events, Clock::time_point deadline) {
  for (;;) {
    throw_if_stopped();
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return Io::kTimedOut;
    pollfd entry{socket_, events, 0};
    const int ready =
        ::poll(&entry, 1, static_cast<int>(std::min(left, kStopCheckInterval).count()));
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

void OwnerProcess::kill() const {
  ::kill(pid_, SIGKILL);
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace nembit::clipboard
