#include "common/utf8.h"

namespace nembit {

namespace {

// Bounds of the second byte of a sequence; later bytes take the full range.
Utf8Lead lead(size_t length, unsigned low = 0x80U, unsigned high = 0xBFU) {
  return {.length = length,
          .low = static_cast<unsigned char>(low),
          .high = static_cast<unsigned char>(high)};
}

}  // namespace

Utf8Lead utf8_lead(unsigned char byte) {
  if (byte < 0x80U) return lead(1);
  if (byte >= 0xC2U && byte <= 0xDFU) return lead(2);
  if (byte >= 0xE0U && byte <= 0xEFU) {
    // No overlong form after E0, no surrogate after ED.
    return lead(3, byte == 0xE0U ? 0xA0U : 0x80U, byte == 0xEDU ? 0x9FU : 0xBFU);
  }
  if (byte >= 0xF0U && byte <= 0xF4U) {
    // No overlong form after F0, nothing past U+10FFFF after F4.
    return lead(4, byte == 0xF0U ? 0x90U : 0x80U, byte == 0xF4U ? 0x8FU : 0xBFU);
  }
  return lead(0);
}

size_t utf8_sequence_length(std::string_view text, size_t at) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[at + k]); };
  const Utf8Lead first = utf8_lead(byte(0));
  if (first.length <= 1) return first.length;
  if (text.size() - at < first.length || byte(1) < first.low || byte(1) > first.high) return 0;
  for (size_t k = 2; k < first.length; ++k) {
    if ((byte(k) & 0xC0U) != 0x80U) return 0;
  }
  return first.length;
}

}  // namespace nembit
