#include "clipboard/owner/nembit_link.h"

#include <sys/prctl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "clipboard/owner/link_words.h"

namespace nembit::owner {

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
  if (inbox.capacity - inbox.used < 65536) {
    const size_t capacity = inbox.capacity * 2 + 65536;
    char* grown = static_cast<char*>(std::realloc(inbox.buffer, capacity));
    if (grown == nullptr) std::exit(1);
    inbox.buffer = grown;
    inbox.capacity = capacity;
  }
  const ssize_t got = ::read(STDIN_FILENO, inbox.buffer + inbox.used, inbox.capacity - inbox.used);
  if (got > 0) {
    inbox.used += static_cast<size_t>(got);
  } else if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
    inbox.closed = true;
  }
}

bool next_text(Inbox& inbox, Bytes& text) {
  if (inbox.used == 0) return false;
  const void* end = std::memchr(inbox.buffer, '\n', inbox.used);
  if (end == nullptr) return false;
  const size_t header = static_cast<size_t>(static_cast<const char*>(end) - inbox.buffer) + 1;
  const size_t size = std::strtoul(inbox.buffer, nullptr, 10);
  if (inbox.used - header < size) return false;
  assign(text, inbox.buffer + header, size);
  inbox.used -= header + size;
  std::memmove(inbox.buffer, inbox.buffer + header + size, inbox.used);
  return true;
}

bool end_with_parent(long parent) {
  if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0) return true;  // Then nembit ends it itself.
  return ::getppid() == parent;
}

void outlive_parent() { ::prctl(PR_SET_PDEATHSIG, 0); }

}  // namespace nembit::owner
