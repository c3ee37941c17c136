// Where the running executable is, so that it can find its own files.
#pragma once

#include <string>
#include <string_view>

namespace nembit {

/// The absolute path of the running executable, without "." or ".."
/// components and with symbolic links resolved; `argv0` stands in where the
/// system cannot tell. Empty when neither tells. One implementation per
/// platform (executable_posix.cpp, executable_win32.cpp).
std::string executable_path(const char* argv0 = nullptr);

/// The path of the helper `name` that nembit starts or loads when a run
/// needs it (nembit-desktop.so, the clipboard owners): in the folder where
/// the build and the install put it beside the executable's, or else, for a
/// program that links libnembit, where libnembit installs it. Where neither
/// holds it, the first place; empty when the executable's place is unknown
/// too.
std::string helper_path(std::string_view name);

}  // namespace nembit
