// A clipboard that takes copies at the desktop's pace.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "common/paced_calls.h"
#include "common/time_limits.h"
#include "nembit/clipboard.h"

namespace nembit::clipboard {

/// Hands each copy to `clipboard` on a thread of its own, one at a time, a
/// newer copy taking the place of one that has not begun, so that a run goes
/// on while the desktop takes the text and its last path always arrives;
/// flush() then waits for the clipboard's own flush().
/// What failures mean for later copies is PacedCalls' rule: a failure ends
/// the clipboard's work for the run, and what the run waits for copies in
/// flush() spends the time budget.
/// It tells `warnings` about how it was set up. A clipboard whose copies
/// never wait for the desktop (`at_once`) takes them on the caller's
/// thread, under the same rules.
class PacedClipboard : public Clipboard {
 public:
  explicit PacedClipboard(std::unique_ptr<Clipboard> clipboard,
                          std::vector<std::string> warnings = {}, bool at_once = false)
      : clipboard_(std::move(clipboard)),
        warnings_(std::move(warnings)),
        calls_("the clipboard", /*end_on_failure=*/true, kRunBudget, at_once) {}

  void copy(std::string_view text) override {
    calls_.submit([this, text = std::string(text)] { clipboard_->copy(text); });
  }
  // The last copy may have handed its text on: the wait for it is a call too.
  void flush() override {
    calls_.finish([this] { clipboard_->flush(); });
  }
  std::vector<std::string> warnings() const override { return warnings_; }

 private:
  std::unique_ptr<Clipboard> clipboard_;
  std::vector<std::string> warnings_;
  PacedCalls<Error, TimeoutError> calls_;
};

}  // namespace nembit::clipboard
