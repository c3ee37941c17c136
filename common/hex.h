// Upper-case hexadecimal, as file URIs and GNTP key hashes write bytes.
#pragma once

#include <string>

namespace nembit {

/// Appends the two upper-case hexadecimal digits of `byte` to `out`.
inline void append_upper_hex(std::string& out, unsigned char byte) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  out += kDigits[byte >> 4U];
  out += kDigits[byte & 0xFU];
}

}  // namespace nembit
