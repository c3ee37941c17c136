// An OutputBuffer as the stream buffer of a std::ostream, for the parts of
// the program that write to streams.
#pragma once

#include <streambuf>

#include "output_buffer.h"

namespace nembit {

/// Hands what a std::ostream writes to an OutputBuffer; a failed write of
/// the buffer fails the stream.
class FdStreamBuf : public std::streambuf {
 public:
  explicit FdStreamBuf(OutputBuffer& buffer) : buffer_(buffer) {}

 protected:
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    const char byte = traits_type::to_char_type(c);
    return buffer_.put(std::string_view(&byte, 1)) ? c : traits_type::eof();
  }
  std::streamsize xsputn(const char* text, std::streamsize count) override {
    return buffer_.put(std::string_view(text, static_cast<size_t>(count))) ? count : 0;
  }
  int sync() override { return buffer_.sync() ? 0 : -1; }

 private:
  OutputBuffer& buffer_;
};

}  // namespace nembit
