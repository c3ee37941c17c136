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
/// the tool cannot be started, and Interrupted when a stop signal is noted
/// (while a StopSignalScope is open anywhere; see common/stop_signals.h)
/// before the call returns, after killing the tool's group if the tool still
/// ran. It opens no scope itself: it runs on a thread of its own while the
/// caller goes on, and must not keep a stop from ending the process.
ToolOutcome run_tool(const std::vector<std::string>& argv, std::string_view input,
                     std::chrono::milliseconds limit);

}  // namespace nembit::clipboard
