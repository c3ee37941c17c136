#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdint>
#include <filesystem>

#include "common/build_config.h"
#include "common/executable.h"
#include "common/stop_signals.h"
#include "host.h"

namespace nembit {

namespace fs = std::filesystem;

std::vector<std::string> process_arguments(int argc, char** argv) { return {argv, argv + argc}; }

bool occupy_closed_standard_streams() {
  bool stdout_closed = false;
  for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    if (fd == STDOUT_FILENO) stdout_closed = true;
    ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);  // Takes the lowest free fd.
  }
  return stdout_closed;
}

void restore_child_signal() { ::signal(SIGCHLD, SIG_DFL); }

bool is_terminal(int stream) { return ::isatty(stream) == 1; }

size_t whole_write_size(int stream) {
  struct stat info {};
  const bool is_pipe =
      ::fstat(stream, &info) == 0 && (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode));
  return is_pipe ? PIPE_BUF : SIZE_MAX;
}

int write_standard(int stream, std::string_view bytes, std::chrono::milliseconds patience,
                   size_t& written) {
  written = 0;
  while (written < bytes.size()) {
    if (patience.count() >= 0) {
      pollfd entry{stream, POLLOUT, 0};
      const int ready = ::poll(&entry, 1, static_cast<int>(patience.count()));
      if (ready == 0) return EAGAIN;
      if (ready < 0 && errno != EINTR) return errno;
      if (ready < 0 && stop_signal() != 0) return EINTR;
      if (ready < 0) continue;
    }
    const ssize_t put = ::write(stream, bytes.data() + written, bytes.size() - written);
    if (put >= 0) {
      written += static_cast<size_t>(put);
    } else if (errno != EINTR) {
      return errno;
    } else if (stop_signal() != 0) {
      return EINTR;
    }
  }
  return 0;
}

std::string find_program_dir(const char* argv0) {
  const fs::path executable = executable_path(argv0);
  if (executable.empty()) return ".";
  // The data directory's place relative to the executable's, as installed.
  fs::path dir = (executable.parent_path() / kDataFromBin).lexically_normal();
  if (!dir.has_filename()) dir = dir.parent_path();  // "bin/." reads "bin/".
  return dir.string();
}

}  // namespace nembit
