#include "common/escape.h"

#include "common/hex.h"
#include "common/utf8.h"

namespace nembit {

namespace {

bool is_plain_ascii(unsigned char byte) { return byte >= 0x20U && byte < 0x7FU; }

bool is_c0_control(unsigned char byte) { return byte < 0x20U || byte == 0x7FU; }

// The code point of a well-formed sequence of `length` bytes at `text[at]`
// that a line must not show as it stands: a C1 control (U+0080 to U+009F) or
// a bidirectional control (U+202A to U+202E, U+2066 to U+2069); otherwise 0.
unsigned hidden_control_at(std::string_view text, size_t at, size_t length) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[at + k]); };
  if (length == 2 && byte(0) == 0xC2U && byte(1) <= 0x9FU) return byte(1);
  if (length != 3 || byte(0) != 0xE2U) return 0;
  const unsigned code = 0x2000U | ((byte(1) & 0x3FU) << 6U) | (byte(2) & 0x3FU);
  return (code >= 0x202AU && code <= 0x202EU) || (code >= 0x2066U && code <= 0x2069U) ? code : 0;
}

void append_byte_escape(std::string& out, unsigned char byte) {
  out += "\\x";
  append_hex(out, byte);
}

void append_code_escape(std::string& out, unsigned code) {
  out += "\\u";
  append_hex(out, code, 4);
}

// Writes a line break as \n or \r, a tab as \t, and any other C0 control
// character as \xNN.
void append_c0_control(std::string& out, unsigned char byte) {
  if (byte == '\n') {
    out += "\\n";
  } else if (byte == '\r') {
    out += "\\r";
  } else if (byte == '\t') {
    out += "\\t";
  } else {
    append_byte_escape(out, byte);
  }
}

// Appends `text` to `out` with every control character but the tab escaped,
// and every byte that begins no well-formed UTF-8 sequence too when
// `invalid_utf8`; stops once more than `limit` bytes have been appended.
void render(std::string& out, std::string_view text, bool invalid_utf8, size_t limit) {
  const size_t start = out.size();
  const auto* const bytes = reinterpret_cast<const unsigned char*>(text.data());
  for (size_t at = 0; at < text.size();) {
    const size_t shown = out.size() - start;
    if (shown >= limit) {
      out += "…";
      return;
    }
    // Printable ASCII, by far the most common, goes by in one run.
    size_t end = at;
    while (end < text.size() && end - at < limit - shown && is_plain_ascii(bytes[end])) ++end;
    if (end > at) {
      out.append(text.substr(at, end - at));
      at = end;
      continue;
    }
    const unsigned char byte = bytes[at];
    const size_t length = utf8_sequence_length(text, at);
    if (length == 0) {
      if (invalid_utf8) {
        append_byte_escape(out, byte);
      } else {
        out += static_cast<char>(byte);
      }
      ++at;
    } else if (is_c0_control(byte) && byte != '\t') {
      append_c0_control(out, byte);
      ++at;
    } else if (const unsigned code = hidden_control_at(text, at, length)) {
      append_code_escape(out, code);
      at += length;
    } else {
      out.append(text.substr(at, length));
      at += length;
    }
  }
}

}  // namespace

std::string quoted(std::string_view text) {
  const bool double_quotes =
      text.find('\'') != std::string_view::npos && text.find('"') == std::string_view::npos;
  const char quote = double_quotes ? '"' : '\'';
  std::string out(1, quote);
  for (size_t at = 0; at < text.size();) {
    const auto byte = static_cast<unsigned char>(text[at]);
    const size_t length = utf8_sequence_length(text, at);
    const unsigned code = length == 0 ? 0 : hidden_control_at(text, at, length);
    if (length == 0) {
      append_byte_escape(out, byte);
      at += 1;
    } else if (code != 0) {
      if (code < 0x100U) {
        append_byte_escape(out, static_cast<unsigned char>(code));
      } else {
        append_code_escape(out, code);
      }
      at += length;
    } else if (is_c0_control(byte)) {
      append_c0_control(out, byte);
      at += 1;
    } else {
      if (byte == '\\' || byte == static_cast<unsigned char>(quote)) out += '\\';
      out.append(text.substr(at, length));
      at += length;
    }
  }
  out += quote;
  return out;
}

std::string printable(std::string_view text) {
  std::string out;
  render(out, text, false, std::string::npos);
  return out;
}

void append_printable(std::string& out, std::string_view text) {
  render(out, text, false, std::string::npos);
}

std::string printable_text(std::string_view text, size_t limit) {
  std::string out;
  render(out, text, true, limit);
  return out;
}

}  // namespace nembit
