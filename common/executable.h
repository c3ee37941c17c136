// Where the running executable is, so that it can find its own files.
#pragma once

#include <string>
#include <string_view>

namespace nembit {

/// Notes the name that the program was started by (its argv[0]), which
/// tells where the executable is where the system cannot (without /proc):
/// start-up notes it first, so that its own files and its helpers are found
/// alike. The first name noted stays.
void note_program_name(const char* argv0);

/// The absolute path of the running executable, without "." or ".."
/// components and with symbolic links resolved; the noted program name,
/// found as the shell finds it, stands in where the system cannot tell.
/// Empty when neither tells. One implementation per platform
/// (executable_posix.cpp, executable_win32.cpp).
std::string executable_path();

/// Whether something is at `path`, links followed (platform).
bool path_exists(const std::string& path);

/// The path of the helper `name` that nembit starts or loads when a run
/// needs it (nembit-desktop.so, the clipboard owners): in the folder where
/// the build and the install put it beside the executable's, or else, for a
/// program that links libnembit, where libnembit installs it, or where a
/// build within another project put it. Where none holds it, the first
/// place; empty when the executable's place is unknown too.
std::string helper_path(std::string_view name);

/// The folder of the program's own files (the version file, the icon) for a
/// program that links libnembit: `beside`, found from its executable as the
/// command finds its own, where it holds a version file; else where
/// libnembit installs them, or, for a libnembit built within another
/// project, where its build put them; else `beside`.
std::string library_data_dir(const std::string& beside);

}  // namespace nembit
