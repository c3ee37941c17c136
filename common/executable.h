// Where the running executable is, so that it can find its own files.
#pragma once

#include <string>

namespace nembit {

/// The absolute path of the running executable, without "." or ".."
/// components and with symbolic links resolved; `argv0` stands in where the
/// system cannot tell. Empty when neither tells. One implementation per
/// platform (executable_posix.cpp, executable_win32.cpp).
std::string executable_path(const char* argv0 = nullptr);

}  // namespace nembit
