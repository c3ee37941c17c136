#include "clipboard/owner/pipe_readers.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "clipboard/owner/read_chance.h"

namespace nembit::owner {

PipeReader* add_reader(PipeReaders& readers, int fd, const Bytes& text, int64_t now, bool of_run) {
  for (PipeReader& reader : readers.each) {
    if (reader.fd >= 0) continue;
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    reader = {.fd = fd,
              .text = share(text),
              .sent = 0,
              .deadline = now + kReaderLimitMs,
              .of_run = of_run};
    return &reader;
  }
  ::close(fd);
  return nullptr;
}

bool serve_pipe(PipeReader& reader, int64_t now, bool& whole) {
  while (reader.sent < reader.text.size) {
    const ssize_t put =
        ::write(reader.fd, reader.text.data + reader.sent, reader.text.size - reader.sent);
    if (put > 0) {
      reader.sent += static_cast<size_t>(put);
      reader.deadline = now + kReaderLimitMs;
    } else if (put < 0 && errno == EINTR) {
      continue;
    } else if (put < 0 && errno == EAGAIN) {
      return false;
    } else {
      break;  // The reader has gone.
    }
  }
  whole = reader.sent == reader.text.size;
  end_reader(reader);
  return true;
}

void end_reader(PipeReader& reader) {
  ::close(reader.fd);
  release(reader.text);
  reader = {};
}

int readers_of(const PipeReaders& readers, const char* data) {
  int count = 0;
  for (const PipeReader& reader : readers.each) count += reader.fd >= 0 && reader.text.data == data;
  return count;
}

int64_t end_stalled(PipeReaders& readers, int64_t now) {
  int64_t wait = -1;
  for (PipeReader& reader : readers.each) {
    if (reader.fd < 0) continue;
    if (reader.deadline <= now) {
      end_reader(reader);
    } else if (wait < 0 || reader.deadline - now < wait) {
      wait = reader.deadline - now;
    }
  }
  return wait;
}

bool any_reader(const PipeReaders& readers) {
  for (const PipeReader& reader : readers.each) {
    if (reader.fd >= 0) return true;
  }
  return false;
}

}  // namespace nembit::owner
