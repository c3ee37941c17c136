// Standard output and standard error as streams that write whole buffers to
// their file descriptors and remember why a write failed.
#pragma once

#include <array>
#include <streambuf>

namespace nembit {

/// A stream buffer that writes to standard output or standard error (1 or
/// 2): in 64 KiB blocks, and
/// after every line when the descriptor is a terminal, so that a user sees
/// each line as it is done. After a failed write it discards what it holds
/// and takes nothing more; error() then tells the system's reason.
class FdStreamBuf : public std::streambuf {
 public:
  explicit FdStreamBuf(int fd);
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
  bool write_out();

  int fd_;
  bool line_buffered_;
  int error_ = 0;
  std::array<char, size_t{64} * 1024> buffer_{};
};

}  // namespace nembit
