// Hexadecimal digits, as escapes, file URIs and GNTP key hashes write them.
#pragma once

#include <cstddef>
#include <string>

namespace nembit {

enum class HexCase { kLower, kUpper };

/// Appends the `digits` last hexadecimal digits of `value` to `out`.
inline void append_hex(std::string& out, unsigned value, size_t digits = 2,
                       HexCase letters = HexCase::kLower) {
  const char* const alphabet = letters == HexCase::kUpper ? "0123456789ABCDEF" : "0123456789abcdef";
  for (size_t shift = digits * 4; shift > 0; shift -= 4)
    out += alphabet[(value >> (shift - 4)) & 0xFU];
}

}  // namespace nembit
