// Standard output and standard error as streams that write whole lines to
// their file descriptors and remember why a write failed.
#pragma once

#include <streambuf>
#include <string>
#include <string_view>

namespace nembit {

/// Writes all of `bytes` to standard stream `stream`: 0 or the system's
/// error number.
using StreamWriter = int (*)(int stream, std::string_view bytes);

/// A stream buffer for standard output or standard error (1 or 2). It
/// collects lines and writes only whole ones, in blocks of about 64 KiB, or
/// after every line when the stream is a terminal, so that a user sees each
/// line as it is done; sync() writes all it holds. A run that ends at any
/// write therefore leaves no line cut off. After a failed write it discards
/// what it holds and takes nothing more; error() then tells the reason.
class FdStreamBuf : public std::streambuf {
 public:
  explicit FdStreamBuf(int stream);
  /// For tests: writes through `write`, line by line when `line_buffered`.
  FdStreamBuf(int stream, StreamWriter write, bool line_buffered);
  FdStreamBuf(const FdStreamBuf&) = delete;
  FdStreamBuf& operator=(const FdStreamBuf&) = delete;
  ~FdStreamBuf() override;

  /// The system error number of the first write that failed, or 0.
  int error() const { return error_; }

  /// Records a failure found outside a write, such as a closed descriptor.
  void set_error(int error) { error_ = error_ != 0 ? error_ : error; }

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* text, std::streamsize count) override;
  int sync() override;

 private:
  /// Writes what is held up to its last line break, or all of it.
  bool write_out(bool whole_lines_only);

  int stream_;
  StreamWriter write_;
  bool line_buffered_;
  int error_ = 0;
  std::string pending_;
};

}  // namespace nembit
