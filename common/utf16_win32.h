// UTF-8 and UTF-16, the encodings of names inside the program and at every
// Win32 call. Built for Windows only.
#pragma once

#include <string>
#include <string_view>

namespace nembit {

/// `text` in UTF-16; a byte that is not UTF-8 becomes U+FFFD.
std::wstring to_utf16(std::string_view text);

/// `text` in UTF-8; an unpaired surrogate becomes U+FFFD.
std::string to_utf8(std::wstring_view text);

}  // namespace nembit
