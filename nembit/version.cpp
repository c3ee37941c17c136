#include "nembit/version.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

#include "common/escape.h"
#include "nembit/failure.h"
#include "nembit/path.h"
#include "nembit/white_space.h"

namespace nembit {

namespace {

constexpr std::string_view kFileName = "__version__.py";
constexpr std::string_view kFallback = "2.0";
constexpr std::string_view kKeyword = "version";
constexpr size_t kMaxVersionLine = size_t{64} * 1024;

std::string_view trim_char(std::string_view text, char c) {
  const size_t begin = text.find_first_not_of(c);
  if (begin == std::string_view::npos) return {};
  return text.substr(begin, text.find_last_not_of(c) - begin + 1);
}

// Whether `path` is a regular file after following links. A path that does
// not exist, runs through a non-directory or ends in a loop of links is none;
// any other failure to inspect it is a failure.
bool is_regular_file(DiskInterface& disk, const std::string& path) {
  DiskInterface::Kind kind = DiskInterface::Kind::kNone;
  if (const int error = disk.kind_of(path, kind); error != 0) {
    throw Failure::from_errno(error, "stat", path);
  }
  return kind == DiskInterface::Kind::kRegular;
}

std::optional<std::string> version_of_line(std::string_view line) {
  if (!trim_white_space(line).starts_with("version")) return std::nullopt;
  const size_t equals = line.find('=');
  if (equals == std::string_view::npos || line.find('=', equals + 1) != std::string_view::npos) {
    return std::nullopt;
  }
  return std::string(trim_char(trim_char(trim_white_space(line.substr(equals + 1)), '"'), '\''));
}

bool wants_traceback() {
  const char* value = std::getenv("TRACEBACK");
  if (value == nullptr) return false;
  const std::string_view text(value);
  return text == "1" || text == "true" || text == "True";
}

}  // namespace

VersionScanner::VersionScanner(std::string_view path) : path_(path) {}

bool VersionScanner::feed(std::string_view bytes) {
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
    if (byte >= 0xC2U && byte <= 0xDFU) {
      needed_ = 1;
    } else if (byte >= 0xE0U && byte <= 0xEFU) {
      needed_ = 2;
      low_ = byte == 0xE0U ? 0xA0U : 0x80U;   // No overlong form,
      high_ = byte == 0xEDU ? 0x9FU : 0xBFU;  // no surrogate.
    } else if (byte >= 0xF0U && byte <= 0xF4U) {
      needed_ = 3;
      low_ = byte == 0xF0U ? 0x90U : 0x80U;
      high_ = byte == 0xF4U ? 0x8FU : 0xBFU;  // Nothing past U+10FFFF.
    } else if (byte >= 0x80U) {
      pending_[pending_size_++] = static_cast<char>(byte);
      fail_decoding();
    }
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
  char byte[8];
  std::snprintf(byte, sizeof byte, "0x%02x", static_cast<unsigned char>(pending_[0]));
  throw Failure("decoding error", std::string("cannot decode byte ") + byte + " at offset " +
                                      std::to_string(char_offset_) + " of " + quoted(path_) +
                                      " as UTF-8");
}

std::optional<std::string> find_version(std::string_view text, std::string_view path) {
  VersionScanner scanner(path);
  scanner.feed(text);
  return scanner.finish();
}

namespace {

// The version that the file at `path` gives, read in blocks only as far as
// its version line.
std::optional<std::string> read_version(DiskInterface& disk, const std::string& path) {
  VersionScanner scanner(path);
  std::string call;
  const int error = disk.read_file(
      path, [&](std::string_view bytes) { return scanner.feed(bytes); }, call);
  if (error != 0) throw Failure::from_errno(error, call, path);
  return scanner.finish();
}

}  // namespace

std::string get_version(DiskInterface& disk, const std::string& program_dir,
                        const std::string& name, std::ostream& out) {
  try {
    return in_operation([] { return std::string("get_version()"); },
                        [&] {
                          std::string path = join_path(program_dir, kFileName);
                          if (!is_regular_file(disk, path)) {
                            path = join_path(join_path(program_dir, name), kFileName);
                            if (!is_regular_file(disk, path)) return std::string(kFallback);
                          }
                          return read_version(disk, path).value_or(std::string(kFallback));
                        });
  } catch (const Failure& failure) {
    if (wants_traceback()) {
      out << failure.diagnostic();
    } else {
      out << "ERROR: " + printable_text(failure.what()) + "\n";
    }
    return std::string(kFallback);
  }
}

}  // namespace nembit
