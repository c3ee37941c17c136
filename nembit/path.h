// The textual forms of the paths that names are turned into. Paths are taken
// as text, component by component: ".." is never resolved against the
// component before it, and symbolic links are never followed.
#pragma once

#include <string>
#include <string_view>

namespace nembit {

/// The normal form of `path`: its root ("/", or "//" for exactly two leading
/// slashes), then its components joined by "/", with empty and "."
/// components dropped and no trailing "/". A path with neither root nor
/// components reads ".".
std::string normal_form(std::string_view path);

/// The parent of a path in normal form: "." for a relative path of one
/// component or none, the root itself for a path that is only a root.
std::string_view parent_of(std::string_view normal);

/// Whether a path in normal form is only a root or ".", which always exist
/// as far as the creation of a file below them is concerned.
bool is_root_or_dot(std::string_view normal);

/// The absolute form of a path in normal form: the path itself when it is
/// absolute, otherwise `working_dir` joined with it by one "/".
std::string absolute_form(std::string_view normal, std::string_view working_dir);

/// The last component of `path` that is neither empty nor "."; empty when
/// there is none.
std::string_view own_name(std::string_view path);

}  // namespace nembit
