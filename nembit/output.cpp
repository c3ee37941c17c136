#include "nembit/output.h"

#include "nembit/host.h"

namespace nembit {

namespace {

constexpr size_t kBlock = size_t{64} * 1024;

}  // namespace

FdStreamBuf::FdStreamBuf(int stream) : FdStreamBuf(stream, write_standard, is_terminal(stream)) {}

FdStreamBuf::FdStreamBuf(int stream, StreamWriter write, bool line_buffered)
    : stream_(stream), write_(write), line_buffered_(line_buffered) {
  pending_.reserve(kBlock + 4096);
}

FdStreamBuf::~FdStreamBuf() { write_out(false); }

bool FdStreamBuf::write_out(bool whole_lines_only) {
  const size_t end = whole_lines_only ? pending_.rfind('\n') + 1 : pending_.size();
  if (error_ == 0 && end > 0) error_ = write_(stream_, std::string_view(pending_).substr(0, end));
  pending_.erase(0, error_ == 0 ? end : pending_.size());
  return error_ == 0;
}

FdStreamBuf::int_type FdStreamBuf::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  const char byte = traits_type::to_char_type(c);
  return xsputn(&byte, 1) == 1 ? c : traits_type::eof();
}

std::streamsize FdStreamBuf::xsputn(const char* text, std::streamsize count) {
  if (error_ != 0) return 0;
  const std::string_view bytes(text, static_cast<size_t>(count));
  pending_.append(bytes);
  const bool line_done = line_buffered_ && bytes.find('\n') != std::string_view::npos;
  if ((line_done || pending_.size() >= kBlock) && !write_out(true)) return 0;
  return count;
}

int FdStreamBuf::sync() { return write_out(false) ? 0 : -1; }

}  // namespace nembit
