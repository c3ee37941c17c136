#include "output_buffer.h"

#include <algorithm>
#include <cerrno>
#include <utility>

#include "common/stop_signals.h"

namespace nembit {

namespace {

constexpr size_t kBlock = size_t{64} * 1024;

}  // namespace

OutputBuffer::OutputBuffer(int stream) : stream_(stream) {}

OutputBuffer::OutputBuffer(StreamWriter write, bool line_buffered, size_t piece)
    : write_(std::move(write)), line_buffered_(line_buffered), piece_(piece) {}

OutputBuffer::~OutputBuffer() {
  write_out(false);
  close_output(channel_);
}

void OutputBuffer::open() {
  channel_ = open_output(std::exchange(stream_, -1));
  write_ = [this](std::string_view bytes, std::chrono::milliseconds patience, size_t& written) {
    return write_output(channel_, bytes, patience, written);
  };
  line_buffered_ = channel_.kind == OutputKind::kTerminal;
  piece_ = channel_.piece > 0 ? channel_.piece : SIZE_MAX;
}

size_t OutputBuffer::piece_end(size_t begin, size_t end) const {
  if (end - begin <= piece_) return end;
  // The last line end within a piece's length, or the end of a longer line.
  const size_t last = pending_.rfind('\n', begin + piece_ - 1);
  if (last != std::string::npos && last >= begin) return last + 1;
  const size_t next = pending_.find('\n', begin);
  return next == std::string::npos ? end : std::min(next + 1, end);
}

std::chrono::milliseconds OutputBuffer::patience() {
  if (!stopping_ && stop_signal() == 0) return std::chrono::milliseconds(-1);
  if (!stopping_) {
    stopping_ = true;
    stop_deadline_ = std::chrono::steady_clock::now() + kStopGrace;
  }
  return std::chrono::ceil<std::chrono::milliseconds>(
      std::max(stop_deadline_ - std::chrono::steady_clock::now(),
               std::chrono::steady_clock::duration::zero()));
}

bool OutputBuffer::write_out(bool whole_lines_only) {
  if (pending_.empty()) return error_ == 0;
  const size_t end = whole_lines_only ? pending_.rfind('\n') + 1 : pending_.size();
  size_t done = 0;
  while (error_ == 0 && done < end) {
    size_t written = 0;
    const int error = write_(std::string_view(pending_).substr(done, piece_end(done, end) - done),
                             patience(), written);
    done += written;
    if (error == 0) continue;
    if (error != EINTR && error != EAGAIN) {
      error_ = error;
    } else if (stopping_) {
      break;  // The stream takes nothing more in time: the run ends without the rest.
    }
  }
  pending_.erase(0, error_ == 0 ? done : pending_.size());
  return error_ == 0;
}

bool OutputBuffer::put(std::string_view bytes) {
  if (error_ != 0) return false;
  if (stream_ >= 0) open();
  pending_.append(bytes);
  const bool line_done = line_buffered_ && bytes.find('\n') != std::string_view::npos;
  return !((line_done || pending_.size() >= kBlock) && !write_out(true));
}

}  // namespace nembit
