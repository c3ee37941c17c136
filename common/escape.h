// Safe renderings of names and of text from outside the program, which may
// hold any byte, in one-line messages.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace nembit {

/// How much of a text from outside the program a one-line message shows:
/// its rendering is cut after this many bytes, and the cut marked with "…".
inline constexpr size_t kShownTextLimit = 300;

/// `text` as a quoted literal: between single quotes (double quotes when it
/// holds a single quote and no double quote), with the quote and the
/// backslash escaped by a backslash, line breaks and tabs written \n, \r, \t,
/// other control characters and malformed UTF-8 bytes written \xNN, and the
/// bidirectional controls, which would reorder the line, written \uNNNN.
std::string quoted(std::string_view text);

/// `text` with every control character but the tab written as \n, \r or
/// \xNN (\u0080-style for C1 controls and the bidirectional controls), so
/// that a name can neither break a message line, nor steer the terminal,
/// nor reorder what follows it. Everything else is kept byte for byte.
std::string printable(std::string_view text);

/// Appends printable(text) to `out`.
void append_printable(std::string& out, std::string_view text);

/// Text from outside the program (a tool's error output, a server's reply, a
/// file's content) as printable() renders it, with every byte that begins no
/// well-formed UTF-8 sequence written \xNN as well, cut after `limit` bytes
/// of rendering with the cut marked by "…".
std::string printable_text(std::string_view text, size_t limit = std::string::npos);

}  // namespace nembit
