// Reading the version line of a version file, which may be of any size and
// hold any bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace nembit {

/// Finds the first version line of a version file whose text comes piece by
/// piece, keeping only the line that may be the version line, so that a file
/// of any size is read in little memory. Lines end at LF, CR or CR LF. A
/// version line, trimmed of white space, begins with "version" and holds
/// exactly one "="; its value is the text after the "=", trimmed of white
/// space, then of double quotes, then of single quotes.
class VersionScanner {
 public:
  /// `path` names the file in failures.
  explicit VersionScanner(std::string_view path);

  /// Takes the next bytes of the text. True once the version line has ended:
  /// the rest of the text is not needed. Throws Failure at a byte that is not
  /// well-formed UTF-8, for a version line longer than 64 KiB, and when the
  /// text goes on past 1 MiB without a version line having ended.
  bool feed(std::string_view bytes);

  /// Ends the text, and gives the version, if there is one. Throws Failure
  /// as feed() does, for a character that the text leaves unfinished.
  std::optional<std::string> finish();

 private:
  enum class Line { kLeading, kPrefix, kCandidate, kSkip };

  void take_byte(unsigned char byte);
  void take_char(std::string_view bytes);
  void end_line();
  [[noreturn]] void fail_decoding() const;

  std::string path_;
  std::optional<std::string> version_;
  // UTF-8 decoding: the character under way, how many bytes it still needs,
  // the bounds of the next one, and where it began.
  char pending_[4] = {};
  size_t pending_size_ = 0;
  size_t needed_ = 0;
  unsigned char low_ = 0x80U;
  unsigned char high_ = 0xBFU;
  uint64_t offset_ = 0;
  uint64_t char_offset_ = 0;
  // The line under way.
  Line line_state_ = Line::kLeading;
  bool after_cr_ = false;
  std::string line_;
  size_t equals_ = 0;
  bool overlong_ = false;
};

/// The version that the whole text of a version file gives, as
/// VersionScanner finds it.
std::optional<std::string> find_version(std::string_view text, std::string_view path);

}  // namespace nembit
