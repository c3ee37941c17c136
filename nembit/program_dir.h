// Where the program's own files are installed.
#pragma once

#include <string>

namespace nembit {

/// The absolute directory, without "." or ".." components, that holds the
/// program's own files, found from the running executable with symbolic
/// links resolved: share/nembit beside the executable's bin folder
/// (<prefix>/bin/nembit reads <prefix>/share/nembit/), or wherever the build
/// put the data directory relative to the executable's; on Windows the
/// executable's own folder. `argv0` is a fallback for systems that cannot
/// tell the executable's path; "." when neither tells.
std::string find_program_dir(const char* argv0);

}  // namespace nembit
