#include "clipboard/owner/nembit_link.h"

#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "clipboard/owner/link_words.h"
#include "clipboard/owner/owner_socket.h"

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

void name_next_run(Inbox& inbox, const char* display) {
  owner_socket_path(std::getenv("XDG_RUNTIME_DIR"), inbox.program, display, inbox.next_run_path,
                    sizeof inbox.next_run_path);
}

int link_fd(const Inbox& inbox) { return inbox.closed ? inbox.next_run : STDIN_FILENO; }

namespace {

// Takes the run that reached the owner's socket, if it is this user's.
bool take_next_run(Inbox& inbox) {
  const int run = ::accept4(inbox.next_run, nullptr, nullptr, SOCK_CLOEXEC);
  if (run < 0) return false;
  ucred peer{};
  socklen_t size = sizeof peer;
  const bool own =
      ::getsockopt(run, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == ::getuid();
  if (!own || ::dup2(run, STDIN_FILENO) < 0 || ::dup2(run, STDOUT_FILENO) < 0) {
    ::close(run);
    return false;
  }
  ::close(run);
  // One run at a time: the next one starts an owner of its own.
  ::close(inbox.next_run);
  inbox.next_run = -1;
  inbox.used = 0;
  inbox.closed = false;
  reply(clipboard::link::kReady);
  return true;
}

}  // namespace

void await_next_run(Inbox& inbox, bool welcome) {
  if (!inbox.closed) return;
  if (!welcome) {
    stop_awaiting(inbox);
    return;
  }
  if (inbox.next_run >= 0 || inbox.next_run_path[0] == '\0') return;
  sockaddr_un address{};
  if (!owner_socket_address(inbox.next_run_path, address)) return;
  const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (listener < 0) return;
  ::unlink(inbox.next_run_path);
  struct stat file {};
  if (::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener, 4) != 0 || ::stat(inbox.next_run_path, &file) != 0) {
    ::close(listener);
    return;
  }
  inbox.next_run = listener;
  inbox.next_run_file = file.st_ino;
}

void stop_awaiting(Inbox& inbox) {
  if (inbox.next_run >= 0) ::close(inbox.next_run);
  inbox.next_run = -1;
  struct stat file {};
  if (inbox.next_run_file != 0 && ::stat(inbox.next_run_path, &file) == 0 &&
      file.st_ino == inbox.next_run_file) {
    ::unlink(inbox.next_run_path);
  }
  inbox.next_run_file = 0;
}

bool receive(Inbox& inbox) {
  if (inbox.closed) return inbox.next_run >= 0 && take_next_run(inbox);
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
  return false;
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
