// Running a clipboard tool: text in on its standard input, its error output
// back, and never a wait longer than a limit. POSIX only (tool_posix.cpp).
#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace nembit::clipboard {

/// How one run of a tool ended.
struct ToolOutcome {
  enum class End { kExited, kSignalled, kTimedOut };
  End end = End::kExited;
  int code = 0;        ///< The exit status, or the number of the signal.
  std::string errors;  ///< The start of what the tool wrote to its standard error.
};

/// Runs `argv` (argv[0] is the path of the tool; no shell is involved) with
/// `input` on its standard input and its standard output discarded, and
/// waits until the tool itself has ended or `limit` has passed. The tool runs
/// in a process group of its own: one that takes too long is killed with
/// every process it started. Processes that a tool which ended leaves
/// behind, as xclip does to keep the selection, are neither waited for nor
/// killed. A tool that cannot be waited for, because the process ignores
/// SIGCHLD, counts as having ended well when it is gone. Throws Error when
/// the tool cannot be started, and Interrupted when a stop signal (see
/// common/stop_signals.h) arrives before the call returns, after killing the
/// tool's group if the tool still ran.
ToolOutcome run_tool(const std::vector<std::string>& argv, std::string_view input,
                     std::chrono::milliseconds limit);

/// Where the standard streams of a program to start go: descriptors of this
/// process, or the null device where -1.
struct StandardStreams {
  int input = -1;
  int output = -1;
  int errors = -1;
};

/// How a started program is set apart from this process: in a process group
/// of its own, which can be stopped as a whole, or in a session of its own,
/// which also holds no terminal.
enum class Apart { kProcessGroup, kSession };

/// Starts the program `argv` (argv[0] is its path; no shell is involved)
/// with `streams`, no other descriptor of this process, no blocked signal
/// and SIGPIPE at its default. Returns its process id; throws Error when it
/// cannot be started.
int start_program(const std::vector<std::string>& argv, StandardStreams streams, Apart apart);

/// Whether `path` is a regular file that this process may execute.
bool is_executable_file(const std::string& path);

}  // namespace nembit::clipboard
