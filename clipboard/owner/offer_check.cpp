#include "clipboard/owner/offer_check.h"

#include <unistd.h>

#include <cerrno>

namespace nembit::owner {

bool read_offer(OfferCheck& check, bool& whole) {
  char buffer[4096];
  for (;;) {
    const ssize_t got = ::read(check.fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && errno == EAGAIN) return false;
    whole = got == 0;
    if (got <= 0 || check.got.size + static_cast<size_t>(got) > kMaxCheckBytes) return true;
    append(check.got, buffer, static_cast<size_t>(got));
  }
}

void end_check(OfferCheck& check) {
  ::close(check.fd);
  release(check.got);
  check = {};
}

}  // namespace nembit::owner
