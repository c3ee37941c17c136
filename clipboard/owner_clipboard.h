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
/// at `socket` (see owner/owner_socket.h), or else one started at the first
/// copy. Each copy sends the text and returns once the owner has
/// answered every text before it: the owner holds one text while readers
/// may want it, keeps the newest waiting, and answers one that a newer
/// overtakes at once. flush() waits until the last text is the selection.
/// When the owner cannot run
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
  OwnerClipboard(std::string owner, std::unique_ptr<Clipboard> fallback, std::string socket = {},
                 std::chrono::milliseconds limit = kCallLimit);
  void copy(std::string_view text) override;
  void flush() override;

 private:
  using Io = OwnerProcess::Io;

  /// Puts `text` on the clipboard through the owner before `deadline`;
  /// false when the owner cannot run here.
  bool copy_through_owner(std::string_view text, RunClock::time_point deadline);
  /// Reaches the owner that awaits the next run, or starts one, and waits
  /// until it is ready; false when none can run here.
  bool start(RunClock::time_point deadline);
  /// Reaches the owner that awaits the next run; false when none answers.
  bool reach(RunClock::time_point deadline);
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
  std::string socket_;  ///< Where an owner may await the next run; empty for nowhere.
  std::unique_ptr<Clipboard> fallback_;
  bool use_fallback_ = false;
  std::string cannot_run_;  ///< Why the owner cannot run here.
  std::unique_ptr<OwnerProcess> process_;
  int unanswered_ = 0;  ///< Texts sent that the owner has not answered yet.
  std::chrono::milliseconds limit_;
  std::string ended_;  ///< Why the owner's part in the run ended, once it has.
};

}  // namespace nembit::clipboard
