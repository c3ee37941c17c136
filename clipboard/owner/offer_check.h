// What another client offers on the clipboard, read by the Wayland owner
// through a pipe, whole and within a limit, to tell an older text put back.
#pragma once

#include <cstddef>
#include <cstdint>

#include "clipboard/owner/bytes.h"

namespace nembit::owner {

/// How long reading an offer may take: a manager that serves it may be slow
/// on a busy machine.
constexpr int64_t kCheckLimitMs = 1000;

/// How much of an offer is read at most: a longer one is none of the run's.
constexpr size_t kMaxCheckBytes = size_t{1} << 20;

/// An offer being read: what the clipboard held before the run, or the
/// texts that another run's owner remembers, or a text that replaced the
/// newest.
struct OfferCheck {
  int fd = -1;  ///< The pipe's end to read; -1 while none is read.
  Bytes got;
  int64_t deadline = 0;
  bool before_run = false;
  bool handed = false;  ///< The texts of another run's owner.
};

/// Reads what has come through the pipe; true once the offer has ended
/// (`whole`) or failed or grown too long, false while more may come.
bool read_offer(OfferCheck& check, bool& whole);

/// Ends the check, which frees what it read.
void end_check(OfferCheck& check);

}  // namespace nembit::owner
