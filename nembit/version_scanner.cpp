#include "version_scanner.h"

#include <utility>

#include "common/escape.h"
#include "common/hex.h"
#include "common/utf8.h"
#include "nembit/failure.h"
#include "white_space.h"

namespace nembit {

namespace {

constexpr std::string_view kKeyword = "version";
constexpr size_t kMaxVersionLine = size_t{64} * 1024;
constexpr uint64_t kMaxVersionFile = uint64_t{1024} * 1024;

std::string_view trim_char(std::string_view text, char c) {
  const size_t begin = text.find_first_not_of(c);
  if (begin == std::string_view::npos) return {};
  return text.substr(begin, text.find_last_not_of(c) - begin + 1);
}

std::optional<std::string> version_of_line(std::string_view line) {
  if (!trim_white_space(line).starts_with("version")) return std::nullopt;
  const size_t equals = line.find('=');
  if (equals == std::string_view::npos || line.find('=', equals + 1) != std::string_view::npos) {
    return std::nullopt;
  }
  return std::string(trim_char(trim_char(trim_white_space(line.substr(equals + 1)), '"'), '\''));
}

}  // namespace

VersionScanner::VersionScanner(std::string_view path) : path_(path) {}

bool VersionScanner::feed(std::string_view bytes) {
  if (!version_ && offset_ + bytes.size() > kMaxVersionFile) {
    // Only as much as a version file may hold is read: the version line must
    // have ended by then.
    const auto allowed = static_cast<size_t>(kMaxVersionFile - offset_);
    if (feed(bytes.substr(0, allowed))) return true;
    throw Failure("value error", quoted(path_) + " holds no version line in its first " +
                                     std::to_string(kMaxVersionFile) + " bytes");
  }
  for (size_t at = 0; at < bytes.size() && !version_; ++at) {
    // Lines that cannot be the version line go by in plain ASCII runs.
    if (line_state_ == Line::kSkip && needed_ == 0 && !after_cr_) {
      const size_t end = at;
      while (at < bytes.size() && static_cast<unsigned char>(bytes[at]) < 0x80U &&
             bytes[at] != '\n' && bytes[at] != '\r') {
        ++at;
      }
      offset_ += at - end;
      if (at == bytes.size()) break;
    }
    take_byte(static_cast<unsigned char>(bytes[at]));
  }
  return version_.has_value();
}

std::optional<std::string> VersionScanner::finish() {
  if (!version_) {
    if (needed_ != 0) fail_decoding();
    end_line();
  }
  return version_;
}

void VersionScanner::take_byte(unsigned char byte) {
  if (needed_ == 0) {
    char_offset_ = offset_;
    pending_size_ = 0;
    const Utf8Lead lead = utf8_lead(byte);
    if (lead.length == 0) {
      pending_[pending_size_++] = static_cast<char>(byte);
      fail_decoding();
    }
    needed_ = lead.length - 1;
    low_ = lead.low;
    high_ = lead.high;
  } else {
    if (byte < low_ || byte > high_) fail_decoding();
    low_ = 0x80U;
    high_ = 0xBFU;
    --needed_;
  }
  pending_[pending_size_++] = static_cast<char>(byte);
  ++offset_;
  if (needed_ == 0) take_char({pending_, pending_size_});
}

void VersionScanner::take_char(std::string_view bytes) {
  const char c = bytes.size() == 1 ? bytes[0] : '\0';
  if (std::exchange(after_cr_, false) && c == '\n') return;
  if (c == '\n' || c == '\r') {
    end_line();
    after_cr_ = c == '\r';
    return;
  }
  switch (line_state_) {
    case Line::kLeading:
      if (white_space_length(bytes, 0) == bytes.size()) return;
      line_state_ = Line::kPrefix;
      [[fallthrough]];
    case Line::kPrefix:
      line_.append(bytes);
      if (!kKeyword.starts_with(line_)) {
        line_state_ = Line::kSkip;
      } else if (line_.size() == kKeyword.size()) {
        line_state_ = Line::kCandidate;
      }
      return;
    case Line::kCandidate:
      if (c == '=') ++equals_;
      if (line_.size() + bytes.size() > kMaxVersionLine) {
        overlong_ = true;
      } else {
        line_.append(bytes);
      }
      return;
    case Line::kSkip:
      return;
  }
}

void VersionScanner::end_line() {
  if (line_state_ == Line::kCandidate && equals_ == 1) {
    if (overlong_) {
      throw Failure("value error", "the version line of " + quoted(path_) + " is longer than " +
                                       std::to_string(kMaxVersionLine) + " bytes");
    }
    version_ = version_of_line(line_);
  }
  line_state_ = Line::kLeading;
  line_.clear();
  equals_ = 0;
  overlong_ = false;
}

void VersionScanner::fail_decoding() const {
  std::string description = "cannot decode byte 0x";
  append_hex(description, static_cast<unsigned char>(pending_[0]));
  throw Failure("decoding error", description + " at offset " + std::to_string(char_offset_) +
                                      " of " + quoted(path_) + " as UTF-8");
}

std::optional<std::string> find_version(std::string_view text, std::string_view path) {
  VersionScanner scanner(path);
  scanner.feed(text);
  return scanner.finish();
}

}  // namespace nembit
