// UTF-8 decoding of file names and text files, which may hold any bytes.
#pragma once

#include <cstddef>
#include <string_view>

namespace nembit {

/// Length in bytes of the well-formed UTF-8 sequence that starts at
/// `text[at]`, or 0 when the bytes there are not one (a stray continuation
/// byte, an overlong form, a surrogate, a truncated sequence...).
size_t utf8_sequence_length(std::string_view text, size_t at);

/// Offset of the first byte of `text` that does not begin a well-formed UTF-8
/// sequence, or std::string_view::npos when all of `text` is well-formed.
size_t find_invalid_utf8(std::string_view text);

}  // namespace nembit
