// Standard output and standard error as buffers that write whole lines to
// their file descriptors and remember why a write failed.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "output_channel.h"

namespace nembit {

/// Writes to a standard stream as write_output() in output_channel.h does.
using StreamWriter =
    std::function<int(std::string_view bytes, std::chrono::milliseconds patience, size_t& written)>;

/// How long the output may take, once a stop signal has come, to take the
/// lines that are left: they are written if it takes them in that time.
inline constexpr std::chrono::milliseconds kStopGrace{200};

/// A buffer for standard output or standard error (1 or 2), which looks at
/// its stream only when it is first written to. It collects lines and
/// writes only whole ones, in blocks of about 64 KiB, or
/// after every line when the stream is a terminal, so that a user sees each
/// line as it is done; sync() writes all it holds. Each write holds whole
/// lines, no more than a pipe takes whole by itself where one line is not
/// longer, and goes through an OutputChannel, so that a run that ends at
/// any write, a stop included, leaves no line cut off where the output
/// tells its room.
/// Once a stop signal has come (see stop_signals.h), it waits no longer than
/// kStopGrace in all, on the steady clock, for the stream to take what it
/// holds: a run that is continued again and again still ends. After a failed
/// write it discards what it holds and takes nothing more; error() then
/// tells the reason.
class OutputBuffer {
 public:
  explicit OutputBuffer(int stream);
  /// For tests: writes through `write`, line by line when `line_buffered`,
  /// in pieces of at most `piece` bytes that end at line ends.
  OutputBuffer(StreamWriter write, bool line_buffered, size_t piece);
  OutputBuffer(const OutputBuffer&) = delete;
  OutputBuffer& operator=(const OutputBuffer&) = delete;
  ~OutputBuffer();

  /// Takes `bytes`, and writes the whole lines it holds when a block is
  /// full or, on a terminal, a line is done; false once a write failed.
  bool put(std::string_view bytes);

  /// Writes all it holds; false once a write failed.
  bool sync() { return write_out(false); }

  /// The system error number of the first write that failed, or 0.
  int error() const { return error_; }

  /// Records a failure found outside a write, such as a closed descriptor.
  void set_error(int error) { error_ = error_ != 0 ? error_ : error; }

 private:
  /// Opens the stream's channel, at the first write.
  void open();
  /// Writes what is held up to its last line break, or all of it.
  bool write_out(bool whole_lines_only);
  /// The end of the next piece to write of pending_[begin, end).
  size_t piece_end(size_t begin, size_t end) const;
  /// How long the next write may wait for the stream; negative for as long
  /// as it needs.
  std::chrono::milliseconds patience();

  int stream_ = -1;  ///< Its channel is opened at the first write; -1 once it is.
  OutputChannel channel_;
  StreamWriter write_;
  bool line_buffered_ = false;
  size_t piece_ = SIZE_MAX;
  int error_ = 0;
  std::string pending_;
  bool stopping_ = false;
  std::chrono::steady_clock::time_point stop_deadline_{};
};

}  // namespace nembit
