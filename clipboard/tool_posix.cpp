#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <utility>

#include "clipboard/tool.h"
#include "common/child_process.h"
#include "common/fd_posix.h"
#include "common/path.h"
#include "common/run_clock.h"
#include "common/stop_signals.h"
#include "common/system_error.h"
#include "nembit/clipboard.h"

namespace nembit::clipboard {

namespace {

constexpr size_t kMaxErrors = 4096;

std::string tool_name(const std::string& path) { return std::string(own_name(path)); }

struct Pipe {
  Fd read;
  Fd write;
};

Pipe make_pipe(const std::string& tool) {
  int fds[2] = {-1, -1};
  if (::pipe(fds) != 0) throw Error(tool + ": could not make a pipe: " + errno_text(errno));
  for (const int fd : fds) ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  return {.read = Fd(fds[0]), .write = Fd(fds[1])};
}

// Keeps a write to a pipe whose reader has gone from ending the process:
// SIGPIPE is held back while the tool runs, and one that the write raised is
// taken off again.
class SigpipeGuard {
 public:
  SigpipeGuard() {
    sigemptyset(&pipe_);
    sigaddset(&pipe_, SIGPIPE);
    sigset_t pending;
    sigpending(&pending);
    was_pending_ = sigismember(&pending, SIGPIPE) == 1;
    pthread_sigmask(SIG_BLOCK, &pipe_, &previous_);
  }
  SigpipeGuard(const SigpipeGuard&) = delete;
  SigpipeGuard& operator=(const SigpipeGuard&) = delete;
  ~SigpipeGuard() {
    sigset_t pending;
    sigpending(&pending);
    if (!was_pending_ && sigismember(&pending, SIGPIPE) == 1) {
      int signal = 0;
      sigwait(&pipe_, &signal);
    }
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
  }

 private:
  sigset_t pipe_{};
  sigset_t previous_{};
  bool was_pending_ = false;
};

// Reads what is there now, keeping at most kMaxErrors bytes; closes `fd` at
// its end.
void read_errors(Fd& fd, std::string& errors) {
  char buffer[4096];
  for (;;) {
    const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
    if (got > 0) {
      errors.append(buffer, std::min(static_cast<size_t>(got), kMaxErrors - errors.size()));
      continue;
    }
    if (got == 0 || errno != EINTR) {
      if (got == 0 || errno != EAGAIN) fd.close();
      return;
    }
  }
}

// Writes what the pipe takes now; closes `fd` once all is written or the tool
// has stopped reading.
void write_input(Fd& fd, std::string_view& input) {
  while (!input.empty()) {
    const ssize_t put = ::write(fd.get(), input.data(), input.size());
    if (put < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN) return;
      break;  // EPIPE: the tool will not read the rest.
    }
    input.remove_prefix(static_cast<size_t>(put));
  }
  fd.close();
}

ToolOutcome outcome_of(int status) {
  ToolOutcome outcome;
  outcome.end = WIFSIGNALED(status) ? ToolOutcome::End::kSignalled : ToolOutcome::End::kExited;
  outcome.code = WIFSIGNALED(status) ? WTERMSIG(status) : WEXITSTATUS(status);
  return outcome;
}

}  // namespace

ToolOutcome run_tool(const std::vector<std::string>& argv, std::string_view input,
                     std::chrono::milliseconds limit) {
  const RunClock::time_point deadline = RunClock::now() + limit;
  const SigpipeGuard sigpipe_guard;
  const std::string tool = tool_name(argv.at(0));
  Pipe input_pipe = make_pipe(tool);
  Pipe errors_pipe = make_pipe(tool);
  int error = 0;
  const pid_t pid = start_program(
      argv, {.input = input_pipe.read.get(), .output = -1, .errors = errors_pipe.write.get()},
      Apart::kProcessGroup, error);
  if (pid < 0) throw Error(tool + ": could not start: " + errno_text(error));
  input_pipe.read.close();
  errors_pipe.write.close();
  Fd& input_write = input_pipe.write;
  Fd& errors_read = errors_pipe.read;
  ::fcntl(input_write.get(), F_SETFL, O_NONBLOCK);
  ::fcntl(errors_read.get(), F_SETFL, O_NONBLOCK);

  std::string errors;
  std::chrono::milliseconds nap(1);
  for (;;) {
    // A stop signal is acted on whatever the tool did meanwhile.
    int status = 0;
    if (has_ended(pid, status)) {
      throw_if_stopped();
      // What the tool wrote is in the pipe by now; whatever it left behind
      // may hold the pipe open, so read without waiting for the end.
      if (errors_read.open()) read_errors(errors_read, errors);
      ToolOutcome outcome = outcome_of(status);
      outcome.errors = std::move(errors);
      return outcome;
    }
    if (const int signal = stop_signal()) {
      kill_group(pid);
      throw Interrupted{signal};
    }
    const std::chrono::milliseconds slice = wait_slice(deadline);
    if (slice.count() <= 0) {
      kill_group(pid);
      if (errors_read.open()) read_errors(errors_read, errors);
      return {.end = ToolOutcome::End::kTimedOut, .code = 0, .errors = std::move(errors)};
    }
    if (input.empty()) input_write.close();
    pollfd fds[2];
    nfds_t count = 0;
    if (input_write.open()) fds[count++] = {input_write.get(), POLLOUT, 0};
    if (errors_read.open()) fds[count++] = {errors_read.get(), POLLIN, 0};
    // The end of the tool cannot be polled for; look again after a nap that
    // grows from 1 ms to a stop check's interval, so that a quick tool costs
    // little time and a slow one little work.
    ::poll(fds, count, static_cast<int>(std::min(nap, slice).count()));
    nap = std::min(nap * 2, kStopCheckInterval);
    if (input_write.open()) write_input(input_write, input);
    if (errors_read.open()) read_errors(errors_read, errors);
  }
}

}  // namespace nembit::clipboard
