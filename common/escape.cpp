#include "common/escape.h"

#include <cstdio>

#include "common/utf8.h"

namespace nembit {

namespace {

void append_hex(std::string& out, const char* format, unsigned value) {
  char buffer[8];
  const int length = std::snprintf(buffer, sizeof buffer, format, value);
  out.append(buffer, static_cast<size_t>(length));
}

bool is_c0_control(unsigned char byte) { return byte < 0x20U || byte == 0x7FU; }

// Writes a line break as \n or \r, and any other control character `code` as
// \xNN, or as \uNNNN when it is a C1 control.
void append_control(std::string& out, unsigned code) {
  if (code == '\n') {
    out += "\\n";
  } else if (code == '\r') {
    out += "\\r";
  } else if (code == '\t') {
    out += "\\t";
  } else {
    append_hex(out, code < 0x80U ? "\\x%02x" : "\\u%04x", code);
  }
}

// The code point of a two-byte sequence in U+0080 to U+009F, or 0.
unsigned c1_control_at(std::string_view text, size_t at, size_t length) {
  if (length != 2 || static_cast<unsigned char>(text[at]) != 0xC2U) return 0;
  const auto second = static_cast<unsigned char>(text[at + 1]);
  return second >= 0x80U && second <= 0x9FU ? second : 0;
}

// Appends `text` to `out` with every control character but the tab escaped,
// and every byte that begins no well-formed UTF-8 sequence too when
// `invalid_utf8`.
void render(std::string& out, std::string_view text, bool invalid_utf8) {
  size_t copied = 0;  // Everything before this offset is in `out`.
  for (size_t at = 0; at < text.size();) {
    // Printable ASCII, by far the most common, goes by in one run.
    const auto* const bytes = reinterpret_cast<const unsigned char*>(text.data());
    while (at < text.size() && bytes[at] >= 0x20U && bytes[at] < 0x7FU) ++at;
    if (at == text.size()) break;
    const auto byte = static_cast<unsigned char>(text[at]);
    const size_t length = byte < 0x80U ? 1 : utf8_sequence_length(text, at);
    const unsigned c1 = c1_control_at(text, at, length);
    if (length == 0 && invalid_utf8) {
      out.append(text.substr(copied, at - copied));
      append_hex(out, "\\x%02x", byte);
      copied = ++at;
      continue;
    }
    if (!(is_c0_control(byte) && byte != '\t') && c1 == 0) {
      at += length == 0 ? 1 : length;
      continue;
    }
    out.append(text.substr(copied, at - copied));
    append_control(out, c1 != 0 ? c1 : byte);
    at += c1 != 0 ? 2 : 1;
    copied = at;
  }
  out.append(text.substr(copied));
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
    if (length == 0) {
      append_hex(out, "\\x%02x", byte);
      at += 1;
    } else if (const unsigned c1 = c1_control_at(text, at, length)) {
      append_hex(out, "\\x%02x", c1);
      at += length;
    } else if (is_c0_control(byte)) {
      append_control(out, byte);
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
  render(out, text, false);
  return out;
}

void append_printable(std::string& out, std::string_view text) { render(out, text, false); }

std::string printable_text(std::string_view text) {
  std::string out;
  render(out, text, true);
  return out;
}

}  // namespace nembit
