// The textual forms of the paths that names are turned into. Paths are taken
// as text, component by component: ".." is never resolved against the
// component before it, and symbolic links are never followed.
//
// Examples, unquoted (a blank is part of a path only inside one):
//
//   path         style    normal_form  parent_of(normal_form)  file_uri(normal_form)
//   a//b/./c/    POSIX    a/b/c        a/b                     (no root: none)
//   x            POSIX    x            .                       (no root: none)
//   /a b/é       POSIX    /a b/é       /a b                    file:///a%20b/%C3%A9
//   //srv/x      POSIX    //srv/x      //srv                   file:////srv/x
//   /            POSIX    /            /                       file:///
//   C:/a\b       Windows  C:\a\b       C:\a                    file:///C:/a/b
//   \\srv\sh\x   Windows  \\srv\sh\x   \\srv\sh\               file:////srv/sh/x
//   C:x          Windows  C:x          C:                      file:///C:x
#pragma once

#include <string>
#include <string_view>

#include "common/build_config.h"

namespace nembit {

/// How a system writes paths. POSIX: "/" separates components, and "/" or
/// exactly "//" at the start is a root. Windows: "/" and "\" both separate;
/// a drive ("C:\" or "C:"), a UNC share ("\\server\share\") or a leading
/// separator is a root; the normal form writes every separator as "\".
enum class PathStyle { kPosix, kWindows };

/// The style of this system's paths.
inline constexpr PathStyle kNativePathStyle =
    kWindowsBuild ? PathStyle::kWindows : PathStyle::kPosix;

/// The normal form of `path`: its root, then its components joined by the
/// style's separator, with empty and "." components dropped and no trailing
/// separator. A path with neither root nor components reads ".".
std::string normal_form(std::string_view path, PathStyle style = kNativePathStyle);

/// The normal form of `path` with each ".." taken back against the component
/// before it, and dropped after a root: "/opt/bin/../share" gives
/// "/opt/share". For the folders of an install, which hold no links to
/// resolve.
std::string collapse_dots(std::string_view path, PathStyle style = kNativePathStyle);

/// The parent of a path in normal form: "." for a relative path of one
/// component or none, the root itself for a path that is only a root.
std::string_view parent_of(std::string_view normal, PathStyle style = kNativePathStyle);

/// Whether a path in normal form is only a root or ".", which always exist
/// as far as the creation of a file below them is concerned.
bool is_root_or_dot(std::string_view normal, PathStyle style = kNativePathStyle);

/// Whether a path has a root (is absolute, or on Windows rooted on a drive).
bool has_root(std::string_view path, PathStyle style = kNativePathStyle);

/// Whether a path names the same place whatever the current directory: on
/// Windows, "C:x" (relative to the current directory of drive C) and "\x"
/// (on the current drive) have a root but are not absolute.
bool is_absolute(std::string_view path, PathStyle style = kNativePathStyle);

/// The absolute form of a path in normal form: the path itself when it has a
/// root, otherwise `working_dir` joined with it by one separator.
std::string absolute_form(std::string_view normal, std::string_view working_dir,
                          PathStyle style = kNativePathStyle);

/// The last component of `path` that is neither empty nor "."; empty when
/// there is none.
std::string_view own_name(std::string_view path, PathStyle style = kNativePathStyle);

/// The file URI of a path that has a root: "file://", then the path with
/// every separator written "/" and a "/" before a drive ("C:\x" gives
/// "file:///C:/x", "\\srv\share\x" gives "file:////srv/share/x"), every byte
/// but ASCII letters, digits, "-._~/" and a drive's colon written as %XX.
std::string file_uri(std::string_view rooted, PathStyle style = kNativePathStyle);

/// Why Windows would not create `name` as it stands, or empty: a path in
/// the device namespace (\\.\ or //./), a component that is a device name
/// (CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM1-COM9, LPT1-LPT9, also with a
/// superscript digit, with or without an extension or a colon after it, in
/// any case), a component that ends in a dot or a blank, which Windows
/// drops, or one that holds a colon, which names an alternate data stream.
std::string windows_refusal(std::string_view name);

/// `dir` and `name` joined by the style's separator.
std::string join_path(std::string_view dir, std::string_view name,
                      PathStyle style = kNativePathStyle);

}  // namespace nembit
