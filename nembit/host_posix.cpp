#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>

#include "common/build_config.h"
#include "common/executable.h"
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

std::string find_program_dir(const char* argv0) {
  const fs::path executable = executable_path(argv0);
  if (executable.empty()) return ".";
  // The data directory's place relative to the executable's, as installed.
  fs::path dir = (executable.parent_path() / kDataFromBin).lexically_normal();
  if (!dir.has_filename()) dir = dir.parent_path();  // "bin/." reads "bin/".
  return dir.string();
}

}  // namespace nembit
