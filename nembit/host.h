// The process's side of the operating system: its arguments, its standard
// streams, its signals and where its executable is. One implementation per
// platform (host_posix.cpp, host_win32.cpp).
#pragma once

#include <string>
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

/// The absolute directory, without "." or ".." components, that holds the
/// program's own files, found from the running executable with symbolic
/// links resolved: share/nembit beside the executable's bin folder
/// (<prefix>/bin/nembit reads <prefix>/share/nembit/), or wherever the build
/// put the data directory relative to the executable's; on Windows the
/// executable's own folder. `argv0` is a fallback for systems that cannot
/// tell the executable's path; "." when neither tells.
std::string find_program_dir(const char* argv0);

}  // namespace nembit
