// Starting the programs that nembit runs beside itself (the clipboard tools
// and owners) and ending them. POSIX only (child_process_posix.cpp): Windows
// starts none of them.
#pragma once

#include <string>
#include <vector>

namespace nembit {

/// Where the standard streams of a program to start go: descriptors of this
/// process, or the null device where -1.
struct StandardStreams {
  int input = -1;
  int output = -1;
  int errors = -1;
};

/// How a started program is set apart from this process: in a process group
/// of its own, which can be stopped as a whole, or in a session of its own,
/// which also holds no terminal. Either way its process id is its group's.
enum class Apart { kProcessGroup, kSession };

/// Starts the program `argv` (argv[0] is its path; no shell is involved)
/// with `streams`, no other descriptor of this process, no blocked signal
/// and SIGPIPE at its default. Returns its process id, or -1 with the
/// system's error in `error`.
int start_program(const std::vector<std::string>& argv, StandardStreams streams, Apart apart,
                  int& error);

/// Whether `path` is a regular file that this process may execute.
bool is_executable_file(const std::string& path);

/// Whether the started program `pid` has ended; reaps it when it has, with
/// its wait status in `status`. A program that cannot be waited for, because
/// the process ignores SIGCHLD and the system reaped it, has ended, with
/// `status` 0.
bool has_ended(int pid, int& status);

/// Kills the started program `pid` with every process of its group, and
/// reaps it. It must not have been reaped yet, so that its group still
/// exists and no other process can have taken its number.
void kill_group(int pid);

/// Reaps the started program `pid` once it ends, without waiting for it, on
/// a thread of its own, so that a long-lived process collects no finished
/// children whatever it does with SIGCHLD.
void reap_when_ended(int pid);

}  // namespace nembit
