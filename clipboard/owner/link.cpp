#include "clipboard/owner/link.h"

#include <sys/prctl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "clipboard/owner/link_words.h"

namespace nembit::owner {

void assign(Bytes& bytes, const char* data, size_t size) {
  std::free(bytes.data);
  bytes.data = static_cast<char*>(std::malloc(size > 0 ? size : 1));
  if (bytes.data == nullptr) std::exit(1);
  if (size > 0) std::memcpy(bytes.data, data, size);
  bytes.size = size;
}

void release(Bytes& bytes) {
  std::free(bytes.data);
  bytes = {};
}

namespace {

// Writes `line` to nembit, unless nembit has gone.
void write_line(const char* line) {
  const size_t size = std::strlen(line);
  size_t done = 0;
  while (done < size) {
    const ssize_t put = ::write(STDOUT_FILENO, line + done, size - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return;  // nembit has gone.
    done += static_cast<size_t>(put);
  }
}

}  // namespace

void reply(const char* word) {
  char line[64];
  std::snprintf(line, sizeof line, "%s\n", word);
  write_line(line);
}

void reply_error(const char* what, const char* detail) {
  char line[512];
  std::snprintf(line, sizeof line, "%s %s%s%s\n", clipboard::link::kError, what,
                detail != nullptr ? ": " : "", detail != nullptr ? detail : "");
  write_line(line);
}

void receive(Inbox& inbox) {
  if (inbox.buffer.size - inbox.used < 65536) {
    const size_t size = inbox.buffer.size * 2 + 65536;
    char* grown = static_cast<char*>(std::realloc(inbox.buffer.data, size));
    if (grown == nullptr) std::exit(1);
    inbox.buffer.data = grown;
    inbox.buffer.size = size;
  }
  const ssize_t got =
      ::read(STDIN_FILENO, inbox.buffer.data + inbox.used, inbox.buffer.size - inbox.used);
  if (got > 0) {
    inbox.used += static_cast<size_t>(got);
  } else if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
    inbox.closed = true;
  }
}

bool next_text(Inbox& inbox, Bytes& text) {
  if (inbox.used == 0) return false;
  const void* end = std::memchr(inbox.buffer.data, '\n', inbox.used);
  if (end == nullptr) return false;
  const size_t header = static_cast<size_t>(static_cast<const char*>(end) - inbox.buffer.data) + 1;
  const size_t size = std::strtoul(inbox.buffer.data, nullptr, 10);
  if (inbox.used - header < size) return false;
  assign(text, inbox.buffer.data + header, size);
  inbox.used -= header + size;
  std::memmove(inbox.buffer.data, inbox.buffer.data + header + size, inbox.used);
  return true;
}

int64_t now_ms() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
}

// The shortest of `waits` in milliseconds, where -1 is without end.
int soonest(std::initializer_list<int> waits) {
  int wait = -1;
  for (const int each : waits) {
    if (each >= 0 && (wait < 0 || each < wait)) wait = each;
  }
  return wait;
}

bool end_with_parent(long parent) {
  if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0) return true;  // Then nembit ends it itself.
  return ::getppid() == parent;
}

void outlive_parent() { ::prctl(PR_SET_PDEATHSIG, 0); }

}  // namespace nembit::owner

int main(int argc, char** argv) {
  // No folder kept busy, and no end by the hang-up of a terminal or by
  // writing to a nembit that has gone.
  std::signal(SIGHUP, SIG_IGN);
  std::signal(SIGPIPE, SIG_IGN);
  if (::chdir("/") != 0) return 1;
  // Until it holds the clipboard, the owner ends with nembit, however
  // nembit ends, even while the display keeps it waiting.
  if (argc > 1 && !nembit::owner::end_with_parent(std::strtol(argv[1], nullptr, 10))) return 1;
  nembit::owner::Inbox inbox;
  const int status = nembit::owner::run(inbox);
  nembit::owner::release(inbox.buffer);
  return status;
}
