#include "nembit/output.h"

#include <algorithm>
#include <cstring>

#include "nembit/host.h"

namespace nembit {

FdStreamBuf::FdStreamBuf(int fd) : fd_(fd), line_buffered_(is_terminal(fd)) {
  setp(buffer_.data(), buffer_.data() + buffer_.size());
}

FdStreamBuf::~FdStreamBuf() { write_out(); }

bool FdStreamBuf::write_out() {
  if (error_ == 0 && pptr() > pbase()) {
    error_ = write_standard(fd_, {pbase(), static_cast<size_t>(pptr() - pbase())});
  }
  setp(buffer_.data(), buffer_.data() + buffer_.size());
  return error_ == 0;
}

FdStreamBuf::int_type FdStreamBuf::overflow(int_type c) {
  if (!write_out()) return traits_type::eof();
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  *pptr() = traits_type::to_char_type(c);
  pbump(1);
  if (line_buffered_ && c == '\n' && !write_out()) return traits_type::eof();
  return c;
}

std::streamsize FdStreamBuf::xsputn(const char* text, std::streamsize count) {
  if (error_ != 0) return 0;
  std::streamsize done = 0;
  while (done < count) {
    if (pptr() == epptr() && !write_out()) return done;
    const std::streamsize room = std::min<std::streamsize>(epptr() - pptr(), count - done);
    std::memcpy(pptr(), text + done, static_cast<size_t>(room));
    pbump(static_cast<int>(room));
    done += room;
  }
  if (line_buffered_ && std::memchr(text, '\n', static_cast<size_t>(count)) != nullptr) {
    if (!write_out()) return 0;
  }
  return done;
}

int FdStreamBuf::sync() { return write_out() ? 0 : -1; }

}  // namespace nembit
