// The version lookup: the program's version string comes from the version
// file installed beside it.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <string_view>

namespace nembit {

/// The version given by the first version line of the text of a version
/// file, if there is one. Lines end at LF, CR or CR LF. A version line,
/// trimmed of white space, begins with "version" and holds exactly one "=";
/// its value is the text after the "=", trimmed of white space, then of
/// double quotes, then of single quotes. Throws Failure when a line up to
/// that one is not well-formed UTF-8; `path` names the file in that failure.
std::optional<std::string> find_version(std::string_view text, std::string_view path);

/// The program's version string: what the version file "__version__.py"
/// gives, read from `program_dir`, or from its subdirectory `name` when the
/// first is no regular file; "2.0" when neither holds a version line. A
/// failure to inspect or read the file gives "2.0" as well, after one
/// diagnostic on `out`: the detailed one when the environment variable
/// TRACEBACK is "1", "true" or "True", otherwise "ERROR: " and its message.
std::string get_version(const std::string& program_dir, const std::string& name, std::ostream& out);

}  // namespace nembit
