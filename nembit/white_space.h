// White space in UTF-8 text, as names and the version file use it.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace nembit {

/// Length in bytes of the white-space character at `text[at]`, or 0.
/// White space is U+0009 to U+000D, U+001C to U+0020, U+0085, U+00A0,
/// U+1680, U+2000 to U+200A, U+2028, U+2029, U+202F, U+205F and U+3000.
/// Bytes that are not well-formed UTF-8 are never white space.
size_t white_space_length(std::string_view text, size_t at);

/// `text` without the white space at both of its ends.
std::string_view trim_white_space(std::string_view text);

/// Appends to `words` the runs of `text` that hold no white space, in order.
void split_at_white_space(std::string_view text, std::vector<std::string_view>& words);

}  // namespace nembit
