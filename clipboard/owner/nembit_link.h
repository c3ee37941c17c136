// The owner's side of its link to nembit (see link_words.h), which both
// clipboard owners share. When nembit has gone, the owner keeps serving the
// last text until another client takes the clipboard, then ends; if it never
// held it, it ends at once, also when nembit was killed while the display
// kept the owner waiting.
//
// Owners use the C library alone besides their display library, and throw
// nothing: a lack of memory ends them.
#pragma once

#include <cstddef>

#include "clipboard/owner/bytes.h"
#include "clipboard/owner/owner_socket.h"

namespace nembit::owner {

/// Answers `word` (see link_words.h) on a line, unless nembit has gone.
void reply(const char* word);

/// Answers the error "<what>: <detail>", or "<what>" without a detail.
void reply_error(const char* what, const char* detail);

/// The messages from nembit, as they come, and where the next run may reach
/// the owner once this one has gone (see owner_socket.h).
struct Inbox {
  char* buffer = nullptr;
  size_t capacity = 0;
  size_t used = 0;
  bool closed = false;            ///< nembit has gone.
  const char* program = nullptr;  ///< The owner program's path, as nembit started it.
  char next_run_path[kOwnerSocketPathSize] = {};  ///< Empty where no next run may reach the owner.
  int next_run = -1;                ///< The socket the next run reaches, while awaited.
  unsigned long next_run_file = 0;  ///< The socket file's inode, to remove it only if it is ours.
};

/// Names the socket at which the next run on `display` (WAYLAND_DISPLAY or
/// DISPLAY) may reach the owner, in the user's runtime folder; none without
/// one (see owner_socket.h).
void name_next_run(Inbox& inbox, const char* display);

/// What to wait on for what comes next: standard input while the run lasts,
/// the next run's socket once it has gone and is awaited; -1 for nothing.
int link_fd(const Inbox& inbox);

/// Reads what nembit has sent, or takes the next run that reached the
/// owner; call when link_fd() is readable. True when a new run begins: its
/// socket is standard input and output, it has been answered kReady, and
/// the inbox is its own.
bool receive(Inbox& inbox);

/// Once the run has gone, lets the next run reach the owner at
/// `next_run_path`, in place of an owner before it there, while it is
/// `welcome`: the owner holds the clipboard and owes nembit no answer.
/// Ends the wait while it is not.
void await_next_run(Inbox& inbox, bool welcome);

/// Ends the wait for the next run, and removes its socket file if it is
/// still this owner's.
void stop_awaiting(Inbox& inbox);

/// Takes the next whole text out of `inbox` into `text`; false while none.
bool next_text(Inbox& inbox, Bytes& text);

/// Asks the system to end the owner when the thread of nembit that started
/// it ends (`parent` is nembit's process id); false when nembit has gone
/// already, and the owner should end now.
bool end_with_parent(long parent);

/// Lets the owner outlive nembit, once it holds the clipboard.
void outlive_parent();

/// The owner's own part, which each owner defines: reaches the display
/// server (answering "ready", or "error <reason>"), then serves the
/// clipboard and the texts that come in `inbox` until its part is done.
/// Returns the exit status.
int run(Inbox& inbox);

}  // namespace nembit::owner
