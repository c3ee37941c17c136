#include "white_space.h"

namespace nembit {

// Every white-space character is a complete UTF-8 sequence whose first byte is
// never a continuation byte, so testing each byte offset in turn can neither
// split a well-formed character nor read one out of a malformed run.
size_t white_space_length(std::string_view text, size_t at) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[at + k]); };
  const size_t left = text.size() - at;
  const unsigned char lead = byte(0);
  if ((lead >= 0x09U && lead <= 0x0DU) || (lead >= 0x1CU && lead <= 0x20U)) return 1;
  if (lead == 0xC2U) {
    return left >= 2 && (byte(1) == 0x85U || byte(1) == 0xA0U) ? 2 : 0;
  }
  if (left < 3) return 0;
  const unsigned char second = byte(1);
  const unsigned char third = byte(2);
  bool space = false;
  switch (lead) {
    case 0xE1U:  // U+1680
      space = second == 0x9AU && third == 0x80U;
      break;
    case 0xE2U:  // U+2000-U+200A, U+2028, U+2029, U+202F; U+205F
      space = (second == 0x80U &&
               (third <= 0x8AU || third == 0xA8U || third == 0xA9U || third == 0xAFU) &&
               third >= 0x80U) ||
              (second == 0x81U && third == 0x9FU);
      break;
    case 0xE3U:  // U+3000
      space = second == 0x80U && third == 0x80U;
      break;
    default:
      break;
  }
  return space ? 3 : 0;
}

std::string_view trim_white_space(std::string_view text) {
  size_t begin = std::string_view::npos;
  size_t end = 0;
  for (size_t at = 0; at < text.size();) {
    if (const size_t space = white_space_length(text, at)) {
      at += space;
      continue;
    }
    if (begin == std::string_view::npos) begin = at;
    end = ++at;
  }
  return begin == std::string_view::npos ? text.substr(0, 0) : text.substr(begin, end - begin);
}

void split_at_white_space(std::string_view text, std::vector<std::string_view>& words) {
  size_t begin = std::string_view::npos;
  for (size_t at = 0; at < text.size();) {
    if (const size_t space = white_space_length(text, at)) {
      if (begin != std::string_view::npos) words.push_back(text.substr(begin, at - begin));
      begin = std::string_view::npos;
      at += space;
      continue;
    }
    if (begin == std::string_view::npos) begin = at;
    ++at;
  }
  if (begin != std::string_view::npos) words.push_back(text.substr(begin));
}

}  // namespace nembit
