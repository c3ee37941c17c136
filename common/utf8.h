// UTF-8 decoding of file names and text files, which may hold any bytes.
#pragma once

#include <cstddef>
#include <string_view>

namespace nembit {

/// What the first byte of a UTF-8 sequence tells of it: its length in bytes,
/// 0 when the byte begins no sequence (a continuation byte, or one never
/// used), and the bounds of its second byte, which rule out overlong forms,
/// surrogates and values past U+10FFFF. Later bytes lie in 0x80 to 0xBF.
struct Utf8Lead {
  size_t length = 0;
  unsigned char low = 0x80U;
  unsigned char high = 0xBFU;
};

/// The lead-byte rules for `byte`.
Utf8Lead utf8_lead(unsigned char byte);

/// Length in bytes of the well-formed UTF-8 sequence that starts at
/// `text[at]`, or 0 when the bytes there are not one (a stray continuation
/// byte, an overlong form, a surrogate, a truncated sequence...).
size_t utf8_sequence_length(std::string_view text, size_t at);

}  // namespace nembit
