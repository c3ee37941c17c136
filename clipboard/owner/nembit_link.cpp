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

namespace {

// The block that holds shared bytes: its count of holders, then the bytes.
size_t* allocate(size_t size) {
  auto* block = static_cast<size_t*>(std::malloc(sizeof(size_t) + (size > 0 ? size : 1)));
  if (block == nullptr) std::exit(1);
  return block;
}

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

void assign(Bytes& bytes, const char* data, size_t size) {
  release(bytes);
  bytes.holders = allocate(size);
  *bytes.holders = 1;
  bytes.data = reinterpret_cast<char*>(bytes.holders + 1);
  bytes.size = size;
  if (data != nullptr && size > 0) std::memcpy(bytes.data, data, size);
}

void append(Bytes& bytes, const char* data, size_t size) {
  if (bytes.holders == nullptr) {
    assign(bytes, data, size);
    return;
  }
  const size_t total = bytes.size + size;
  auto* block = static_cast<size_t*>(std::realloc(bytes.holders, sizeof(size_t) + total));
  if (block == nullptr) std::exit(1);
  bytes.holders = block;
  bytes.data = reinterpret_cast<char*>(block + 1);
  std::memcpy(bytes.data + bytes.size, data, size);
  bytes.size = total;
}

Bytes share(const Bytes& bytes) {
  if (bytes.holders != nullptr) ++*bytes.holders;
  return bytes;
}

void release(Bytes& bytes) {
  if (bytes.holders != nullptr && --*bytes.holders == 0) std::free(bytes.holders);
  bytes = {};
}

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

int64_t now_ms() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
}

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
