// The process's side of the operating system: its arguments, its standard
// streams, its signals and where its executable is. One implementation per
// platform (host_posix.cpp, host_win32.cpp).
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace nembit {

/// The raw argument list, the program's name first, in UTF-8: `argv` as it
/// stands on POSIX; on Windows, decoded from the wide command line.
std::vector<std::string> process_arguments(int argc, char** argv);

/// Gives a closed standard stream a harmless stand-in (the null device), so
/// that no file this run opens can take its place. Returns whether standard
/// output was closed.
bool occupy_closed_standard_streams();

/// Puts back the default handling of SIGCHLD, which whoever started the
/// process may have left ignored: the clipboard tools must be waited for.
void restore_child_signal();

/// Whether standard stream `stream` (1 output, 2 error) is a terminal.
bool is_terminal(int stream);

/// The most bytes that one write to standard stream `stream` (1 output,
/// 2 error) puts there whole or not at all: PIPE_BUF for a pipe or a
/// socket, where a longer write may be cut short; no limit for a file, a
/// terminal or a device, which take a write whole or fail.
size_t whole_write_size(int stream);

/// Writes `bytes` to standard stream `stream` (1 output, 2 error), with
/// `written` telling how many went out; UTF-8 text shows as such in a
/// Windows console. Returns 0 once all is written; EINTR when a stop signal
/// (see stop_signals.h) cut a wait for the stream short; with a `patience`
/// of zero or more, EAGAIN when the stream took nothing for that long;
/// otherwise the system's error number. A negative `patience` waits as long
/// as the stream needs.
int write_standard(int stream, std::string_view bytes, std::chrono::milliseconds patience,
                   size_t& written);

/// The absolute directory, without "." or ".." components, that holds the
/// program's own files, found from the running executable with symbolic
/// links resolved: share/nembit beside the executable's bin folder
/// (<prefix>/bin/nembit reads <prefix>/share/nembit/), or wherever the build
/// put the data directory relative to the executable's; on Windows the
/// executable's own folder. `argv0` is a fallback for systems that cannot
/// tell the executable's path; "." when neither tells.
std::string find_program_dir(const char* argv0);

}  // namespace nembit
