#include "clipboard/owner_clipboard.h"

#include "clipboard/owner/link_words.h"
#include "common/escape.h"
#include "common/path.h"
#include "common/stop_signals.h"
#include "nembit/interrupted.h"

namespace nembit::clipboard {

namespace {

// How often a run that reached an owner looks for its answers while it
// creates files: the newest text goes out once the one before is answered.
constexpr std::chrono::milliseconds kAnswerLook{1};

// The reason of an owner's error line, as a message shows it.
std::string reason_of(const std::string& line) {
  return printable_text(line.substr(line.find(' ') + 1), kShownTextLimit);
}

}  // namespace

OwnerClipboard::OwnerClipboard(std::string owner, std::unique_ptr<Clipboard> fallback,
                               const std::string& socket, std::chrono::milliseconds limit)
    : owner_(std::move(owner)),
      name_(own_name(owner_)),
      fallback_(std::move(fallback)),
      limit_(limit) {
  if (!socket.empty()) process_ = OwnerProcess::reach(socket);
  reached_ = process_ != nullptr;
}

OwnerClipboard::~OwnerClipboard() {
  if (!ready_ || !newest_waits_ || !ended_.empty() || stop_signal() != 0) return;
  try {
    send_newest(RunClock::now() + limit_);
  } catch (...) {
    // What it cannot send is lost with the run, as a copy that fails is.
  }
}

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
  if (!ready_ || !ended_.empty()) return;
  try {
    const RunClock::time_point deadline = RunClock::now() + limit_;
    if (newest_waits_) send_newest(deadline);
    take_answers(0, deadline);
  } catch (const Interrupted&) {
    drop_owner();
    throw;
  }
}

bool OwnerClipboard::copy_through_owner(std::string_view text, RunClock::time_point deadline) {
  if (!ready_ && !start(deadline)) return false;
  newest_.assign(text);
  newest_waits_ = true;
  if (reached_) {
    // The owner's answers are looked for now and then: each look costs a
    // system call, and the run makes many copies a millisecond.
    if (const RunClock::time_point now = RunClock::now(); unanswered_ > 0 && now >= next_look_) {
      next_look_ = now + kAnswerLook;
      take_answers_so_far();
    }
    if (unanswered_ == 0) send_newest(deadline);
    return true;
  }
  send_newest(deadline);
  // The text before is answered as soon as this one overtakes it, or it is
  // the selection.
  take_answers(1, deadline);
  return true;
}

void OwnerClipboard::send_newest(RunClock::time_point deadline) {
  std::string message = std::to_string(newest_.size());
  message.append("\n").append(newest_);
  newest_waits_ = false;
  check(process_->send(message, deadline));
  ++unanswered_;
}

void OwnerClipboard::take_answers(int left, RunClock::time_point deadline) {
  while (unanswered_ > left) {
    std::string line;
    check(process_->read_line(line, deadline));
    take_answer(line);
  }
}

void OwnerClipboard::take_answers_so_far() {
  std::string line;
  while (unanswered_ > 0) {
    const Io io = process_->read_line(line, RunClock::now());
    if (io == Io::kTimedOut) return;
    check(io);
    take_answer(line);
  }
}

void OwnerClipboard::take_answer(const std::string& line) {
  --unanswered_;
  if (line != link::kOk) throw Error(name_ + ": " + reason_of(line));
  process_->serving();
}

bool OwnerClipboard::await_reached(RunClock::time_point deadline) {
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
  if (process_ && await_reached(deadline)) {
    ready_ = true;
    return true;
  }
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
  ready_ = true;
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
  ready_ = false;
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
