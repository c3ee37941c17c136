#include "common/utf8.h"

namespace nembit {

namespace {

bool is_continuation(unsigned char byte) { return (byte & 0xC0U) == 0x80U; }

}  // namespace

size_t utf8_sequence_length(std::string_view text, size_t at) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[at + k]); };
  const size_t left = text.size() - at;
  const unsigned char lead = byte(0);
  if (lead < 0x80U) return 1;
  size_t length = 0;
  unsigned char low = 0x80U;   // Bounds of the second byte, which rule out
  unsigned char high = 0xBFU;  // overlong forms, surrogates and values past U+10FFFF.
  if (lead >= 0xC2U && lead <= 0xDFU) {
    length = 2;
  } else if (lead >= 0xE0U && lead <= 0xEFU) {
    length = 3;
    if (lead == 0xE0U) low = 0xA0U;
    if (lead == 0xEDU) high = 0x9FU;
  } else if (lead >= 0xF0U && lead <= 0xF4U) {
    length = 4;
    if (lead == 0xF0U) low = 0x90U;
    if (lead == 0xF4U) high = 0x8FU;
  } else {
    return 0;
  }
  if (left < length || byte(1) < low || byte(1) > high) return 0;
  for (size_t k = 2; k < length; ++k) {
    if (!is_continuation(byte(k))) return 0;
  }
  return length;
}

size_t find_invalid_utf8(std::string_view text) {
  for (size_t at = 0; at < text.size();) {
    const size_t length = utf8_sequence_length(text, at);
    if (length == 0) return at;
    at += length;
  }
  return std::string_view::npos;
}

}  // namespace nembit
