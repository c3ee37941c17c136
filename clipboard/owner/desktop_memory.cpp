#include "clipboard/owner/desktop_memory.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "clipboard/owner/older_text_guard.h"
#include "clipboard/owner/read_chance.h"

namespace nembit::owner {

namespace {

// The first line of a memory file.
constexpr char kHeader[] = "nembit clipboard memory 1\n";

// Reads a decimal number, -1 or more, at `*at` before `end`, then the line
// feed after it; false when there is none.
bool read_number(const char*& at, const char* end, int64_t& number) {
  const bool negative = at < end && *at == '-';
  if (negative) ++at;
  if (at >= end || *at < '0' || *at > '9') return false;
  int64_t value = 0;
  for (; at < end && *at >= '0' && *at <= '9'; ++at) {
    if (value > (INT64_MAX - 9) / 10) return false;
    value = value * 10 + (*at - '0');
  }
  if (at >= end || *at != '\n' || (negative && value != 1)) return false;
  ++at;
  number = negative ? -1 : value;
  return true;
}

// Reads "<word> <number>\n" at `*at`; false when it is not there.
bool read_field(const char*& at, const char* end, const char* word, int64_t& number) {
  const size_t length = std::strlen(word);
  if (static_cast<size_t>(end - at) <= length || std::memcmp(at, word, length) != 0 ||
      at[length] != ' ') {
    return false;
  }
  at += length + 1;
  return read_number(at, end, number);
}

// Reads at most `size` bytes of the regular file of this user's at `path`
// into `buffer`, and when it was last written; how many, or -1.
ssize_t read_own_file(const char* path, char* buffer, size_t size, int64_t& written) {
  const int fd = ::open(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat info {};
  ssize_t got = -1;
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid()) {
    got = ::read(fd, buffer, size);
    written = info.st_mtime;
  }
  ::close(fd);
  return got;
}

// Writes `length` bytes at `text` to `path`, whole or not at all, readable
// by this user alone.
void write_whole_file(const char* path, const char* text, size_t length) {
  char temporary[4096];
  const int name =
      std::snprintf(temporary, sizeof temporary, "%s.%ld", path, static_cast<long>(::getpid()));
  if (length == 0 || name <= 0 || static_cast<size_t>(name) >= sizeof temporary) return;
  const int fd =
      ::open(temporary, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR);
  if (fd < 0) return;
  const bool whole = ::write(fd, text, length) == static_cast<ssize_t>(length);
  ::close(fd);
  if (!whole || ::rename(temporary, path) != 0) ::unlink(temporary);
}

// The most that the path of the kept texts takes.
constexpr size_t kTextsPathSize = sizeof DisplayMemory::path + sizeof "-texts";

// The file beside the display's memory that keeps a run's texts; false
// where no memory is kept.
bool texts_path(const DisplayMemory& display, char* path, size_t size) {
  const int length = std::snprintf(path, size, "%s-texts", display.path);
  return display.path[0] != '\0' && length > 0 && static_cast<size_t>(length) < size;
}

// Has `guard` remember the texts kept beside the display's memory within
// kKeptTextsSeconds before `now`.
void recall_texts(DisplayMemory& display, OlderTextGuard& guard, int64_t now) {
  char path[kTextsPathSize];
  char texts[kHandedSize];
  int64_t written = 0;
  if (!texts_path(display, path, sizeof path)) return;
  const ssize_t got = read_own_file(path, texts, sizeof texts, written);
  bool reader_done = true;
  if (got > 0 && now - written <= kKeptTextsSeconds &&
      remember_handed(guard, texts, static_cast<size_t>(got), reader_done)) {
    // The file tells the second it was written in, no finer.
    display.reader_busy = !reader_done && (now - written) * 1000 <= kReaderBusyMs;
  }
}

}  // namespace

ReaderExpectation expect_readers(const DesktopMemory* memory, int64_t now) {
  if (memory == nullptr) return ReaderExpectation::kUnknown;
  const bool lately = memory->reader_seen >= 0 && now - memory->reader_seen <= kReaderMemorySeconds;
  return lately && memory->reader_seen >= memory->unasked ? ReaderExpectation::kManager
                                                          : ReaderExpectation::kNone;
}

bool parse_memory(const char* text, size_t size, DesktopMemory& memory) {
  const char* at = text;
  const char* end = text + size;
  const size_t header = sizeof kHeader - 1;
  if (size < header || std::memcmp(text, kHeader, header) != 0) return false;
  at += header;
  DesktopMemory read;
  if (!read_field(at, end, "reader-seen", read.reader_seen) ||
      !read_field(at, end, "unasked", read.unasked) || at != end) {
    return false;
  }
  memory = read;
  return true;
}

size_t format_memory(const DesktopMemory& memory, char* buffer, size_t size) {
  const int length = std::snprintf(buffer, size, "%sreader-seen %" PRId64 "\nunasked %" PRId64 "\n",
                                   kHeader, memory.reader_seen, memory.unasked);
  return length > 0 && static_cast<size_t>(length) < size ? static_cast<size_t>(length) : 0;
}

bool memory_path(const char* runtime_dir, const char* kind, const char* display, char* path,
                 size_t size) {
  if (runtime_dir == nullptr || *runtime_dir != '/' || display == nullptr || *display == '\0') {
    return false;
  }
  const int length = std::snprintf(path, size, "%s/nembit-clipboard-%s-", runtime_dir, kind);
  if (length <= 0 || static_cast<size_t>(length) >= size) return false;
  auto at = static_cast<size_t>(length);
  for (const char* c = display; *c != '\0'; ++c, ++at) {
    if (at + 1 >= size) return false;
    const bool plain = (*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') ||
                       (*c >= '0' && *c <= '9') || *c == '-' || *c == '.';
    path[at] = plain ? *c : '_';
  }
  path[at] = '\0';
  return true;
}

bool read_memory(const char* path, DesktopMemory& memory) {
  char text[256];
  int64_t written = 0;
  const ssize_t got = read_own_file(path, text, sizeof text, written);
  return got > 0 && parse_memory(text, static_cast<size_t>(got), memory);
}

void write_memory(const char* path, const DesktopMemory& memory) {
  char text[256];
  write_whole_file(path, text, format_memory(memory, text, sizeof text));
}

void recall(DisplayMemory& display, const char* kind, const char* display_name,
            OlderTextGuard& guard, int64_t now) {
  if (!memory_path(std::getenv("XDG_RUNTIME_DIR"), kind, display_name, display.path,
                   sizeof display.path)) {
    display.path[0] = '\0';
    return;
  }
  const bool known = read_memory(display.path, display.memory);
  display.expected = expect_readers(known ? &display.memory : nullptr, now);
  recall_texts(display, guard, now);
}

void remember_reader(DisplayMemory& display, int64_t now) {
  display.memory.reader_seen = now;
  if (display.path[0] != '\0') write_memory(display.path, display.memory);
}

void end_run(DisplayMemory& display, bool reader_seen, const OlderTextGuard& guard,
             bool reader_done, int64_t now) {
  keep_texts(display, guard, reader_done);
  if (!display.first_unasked || reader_seen) return;
  display.memory.unasked = now;
  if (display.path[0] != '\0') write_memory(display.path, display.memory);
}

void end_run_for_next(DisplayMemory& display, bool reader_seen, const OlderTextGuard& guard,
                      bool reader_done, int64_t now) {
  end_run(display, reader_seen, guard, reader_done, now);
  if (display.first_unasked && !reader_seen) display.expected = ReaderExpectation::kNone;
  display.first_unasked = false;
}

void keep_texts(const DisplayMemory& display, const OlderTextGuard& guard, bool reader_done) {
  char path[kTextsPathSize];
  char texts[kHandedSize];
  if (texts_path(display, path, sizeof path)) {
    write_whole_file(path, texts, handed_texts(guard, reader_done, texts, sizeof texts));
  }
}

}  // namespace nembit::owner
