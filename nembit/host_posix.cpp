#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "common/build_config.h"
#include "common/executable.h"
#include "common/path.h"
#include "host.h"

namespace nembit {

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

std::string find_program_dir(const char* argv0) {
  note_program_name(argv0);
  const std::string executable = executable_path();
  if (executable.empty()) return ".";
  // The data directory's place relative to the executable's, as installed.
  return collapse_dots(join_path(parent_of(executable), kDataFromBin));
}

}  // namespace nembit
