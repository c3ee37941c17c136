// The clipboard through an owner process of nembit's own, which holds the
// selection for the whole run, so that a copy costs one round trip to the
// display server rather than a tool started per file.
#pragma once

#include <chrono>
#include <memory>
#include <mutex>
#include <string>

#include "clipboard/owner_process.h"
#include "common/run_clock.h"
#include "common/time_limits.h"
#include "nembit/clipboard.h"

namespace nembit::clipboard {

/// Puts text on the clipboard through the owner program `owner`: the one
/// that holds the clipboard after an earlier run, where it awaits the next
/// at `socket` (see owner/owner_socket.h), reached at once, or else one
/// started at the first copy. The owner holds one text while readers may
/// want it, keeps the newest waiting, and answers one that a newer
/// overtakes at once. With an owner started for the run, each copy sends
/// the text and returns once the owner has answered every text before it.
/// With one reached (at_once()), no copy but the first, which waits for
/// the owner to say it is ready, waits for the owner: a text goes at once
/// when the owner has answered every text before it, and waits here as the
/// newest otherwise. flush() sends the newest at once, which then takes the
/// place of one waiting at the owner, and waits until the last text is the
/// selection. When the owner cannot run
/// here (it cannot be started, cannot reach the display, or ends before it
/// says it is ready), that copy and every later one go to `fallback` (a
/// clipboard tool; none when null). A copy may take `limit`; after a
/// time-out (TimeoutError), or when the owner has died, no owner is started
/// again: every later copy fails at once with the same error.
/// An owner that never held the selection ends with this object, or with a
/// copy that a stop signal interrupts. Copies from several threads take
/// turns.
class OwnerClipboard : public Clipboard {
 public:
  OwnerClipboard(std::string owner, std::unique_ptr<Clipboard> fallback,
                 const std::string& socket = {}, std::chrono::milliseconds limit = kCallLimit);
  OwnerClipboard(const OwnerClipboard&) = delete;
  OwnerClipboard& operator=(const OwnerClipboard&) = delete;
  /// Hands the owner the newest text that waits here, unless a stop signal
  /// has come: a run that is not flushed ends with its last path too.
  ~OwnerClipboard() override;
  void copy(std::string_view text) override;
  void flush() override;
  /// Whether an owner that awaited the next run was reached: copies then
  /// never wait for the desktop.
  bool at_once() const { return reached_; }

 private:
  using Io = OwnerProcess::Io;

  /// Puts `text` on the clipboard through the owner before `deadline`;
  /// false when the owner cannot run here.
  bool copy_through_owner(std::string_view text, RunClock::time_point deadline);
  /// Waits until the owner reached, or else one started, is ready; false
  /// when none can run here.
  bool start(RunClock::time_point deadline);
  /// Waits until the owner reached says it is ready; false when it ends
  /// first.
  bool await_reached(RunClock::time_point deadline);
  /// Sends the newest text, which the owner has not had.
  void send_newest(RunClock::time_point deadline);
  /// Takes the owner's answers that have come, without waiting for more.
  void take_answers_so_far();
  /// Takes the owner's answer `line` to the oldest text unanswered.
  void take_answer(const std::string& line);
  /// Hands this copy and the rest to the fallback, for `why`.
  bool cannot_run(std::string why);
  /// Lets the owner go: it ends now unless it holds the selection.
  void drop_owner();
  /// Takes the owner's answers until no more than `left` texts are
  /// unanswered, before `deadline`.
  void take_answers(int left, RunClock::time_point deadline);
  /// Throws for a wait that did not end in `Io::kDone`, after ending the
  /// owner's part in the run with that error, which later copies give.
  void check(Io io);

  std::mutex mutex_;
  std::string owner_;
  std::string name_;
  std::unique_ptr<Clipboard> fallback_;
  bool use_fallback_ = false;
  std::string cannot_run_;  ///< Why the owner cannot run here.
  std::unique_ptr<OwnerProcess> process_;
  bool reached_ = false;  ///< The owner awaited the run at the socket.
  bool ready_ = false;    ///< The owner has said it is ready.
  std::string newest_;    ///< The newest text, while the owner has not had it.
  bool newest_waits_ = false;
  RunClock::time_point next_look_;  ///< When to look for the owner's answers next.
  int unanswered_ = 0;              ///< Texts sent that the owner has not answered yet.
  std::chrono::milliseconds limit_;
  std::string ended_;  ///< Why the owner's part in the run ended, once it has.
};

}  // namespace nembit::clipboard
