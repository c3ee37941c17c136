#include "clipboard/owner_clipboard.h"

#include "clipboard/owner/link_words.h"
#include "common/escape.h"
#include "common/path.h"
#include "nembit/interrupted.h"

namespace nembit::clipboard {

namespace {

// The reason of an owner's error line, as a message shows it.
std::string reason_of(const std::string& line) {
  return printable_text(line.substr(line.find(' ') + 1), kShownTextLimit);
}

}  // namespace

OwnerClipboard::OwnerClipboard(std::string owner, std::unique_ptr<Clipboard> fallback,
                               std::string socket, std::chrono::milliseconds limit)
    : owner_(std::move(owner)),
      name_(own_name(owner_)),
      socket_(std::move(socket)),
      fallback_(std::move(fallback)),
      limit_(limit) {}

void OwnerClipboard::copy(std::string_view text) {
  const std::lock_guard lock(mutex_);
  if (!use_fallback_) {
    if (!ended_.empty()) throw Error(ended_);
    try {
      if (copy_through_owner(text, RunClock::now() + limit_)) return;
    } catch (const Interrupted&) {
      // Where the exchange stopped is unknown: the next copy starts a new
      // owner, and this one ends now unless it holds the selection.
      drop_owner();
      throw;
    }
  }
  if (!fallback_) throw Error(cannot_run_);
  fallback_->copy(text);
}

void OwnerClipboard::flush() {
  const std::lock_guard lock(mutex_);
  if (!process_ || !ended_.empty()) return;
  try {
    take_answers(0, RunClock::now() + limit_);
  } catch (const Interrupted&) {
    drop_owner();
    throw;
  }
}

bool OwnerClipboard::copy_through_owner(std::string_view text, RunClock::time_point deadline) {
  if (!process_ && !start(deadline)) return false;
  std::string message = std::to_string(text.size());
  message.append("\n").append(text);
  check(process_->send(message, deadline));
  ++unanswered_;
  // The text before is answered as soon as this one overtakes it, or it is
  // the selection.
  take_answers(1, deadline);
  return true;
}

void OwnerClipboard::take_answers(int left, RunClock::time_point deadline) {
  while (unanswered_ > left) {
    std::string line;
    check(process_->read_line(line, deadline));
    --unanswered_;
    if (line != link::kOk) throw Error(name_ + ": " + reason_of(line));
    process_->serving();
  }
}

bool OwnerClipboard::reach(RunClock::time_point deadline) {
  process_ = OwnerProcess::reach(socket_);
  if (!process_) return false;
  std::string line;
  const Io io = process_->read_line(line, deadline);
  if (io == Io::kTimedOut) check(io);
  // One that ends meanwhile, having lost the clipboard, leaves the run to
  // an owner of its own.
  if (io == Io::kDone && line == link::kReady) return true;
  process_.reset();
  return false;
}

bool OwnerClipboard::start(RunClock::time_point deadline) {
  if (!socket_.empty() && reach(deadline)) return true;
  try {
    process_ = std::make_unique<OwnerProcess>(owner_);
  } catch (const Error& error) {
    return cannot_run(error.what());
  }
  std::string line;
  const Io io = process_->read_line(line, deadline);
  if (io == Io::kTimedOut) check(io);
  if (io == Io::kGone) return cannot_run(name_ + ": ended before it was ready");
  if (line != link::kReady) return cannot_run(name_ + ": " + reason_of(line));
  return true;
}

bool OwnerClipboard::cannot_run(std::string why) {
  cannot_run_ = std::move(why);
  drop_owner();  // It is on its way out, if it ever ran: this ends it.
  use_fallback_ = true;
  return false;
}

void OwnerClipboard::drop_owner() {
  process_.reset();
  unanswered_ = 0;
}

void OwnerClipboard::check(Io io) {
  if (io == Io::kTimedOut) {
    process_->kill();
    drop_owner();
    ended_ = name_ + ": timed out after " + std::to_string(limit_.count()) + " ms";
    throw TimeoutError(ended_);
  }
  if (io == Io::kGone) {
    ended_ = name_ + ": ended before it confirmed the copy";
    drop_owner();
    throw Error(ended_);
  }
}

}  // namespace nembit::clipboard
