// The X11 clipboard through an owner process of nembit's own, which holds
// the selection for the whole run, so that a copy costs one round trip to
// the X server rather than a tool started per file.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "clipboard/owner_process.h"
#include "common/time_budget.h"
#include "nembit/clipboard.h"

namespace nembit::clipboard {

/// Puts text on the clipboard through the owner program `owner`, started at
/// the first copy. Each copy sends the text and returns once the owner has
/// confirmed that it holds the selection with it. When the owner cannot be
/// started or cannot reach the display, that copy and every later one go to
/// `fallback` (a clipboard tool; none when null). A copy may take `limit`, all of them
/// together `budget`; after a time-out, once the budget is spent, or when
/// the owner has died, every later copy fails at once with the same error.
class OwnerClipboard : public Clipboard {
 public:
  OwnerClipboard(std::string owner, std::unique_ptr<Clipboard> fallback,
                 std::chrono::milliseconds limit = std::chrono::seconds(5),
                 std::chrono::milliseconds budget = std::chrono::seconds(10));
  void copy(std::string_view text) override;

 private:
  /// Puts `text` on the clipboard through the owner before `deadline`;
  /// false when the owner cannot reach the display.
  bool copy_through_owner(std::string_view text, OwnerProcess::Clock::time_point deadline,
                          std::chrono::milliseconds limit);
  /// Ends the owner's part in the run with `error`, which later copies give.
  [[noreturn]] void fail(const std::string& error);

  std::string owner_;
  std::string name_;
  std::unique_ptr<Clipboard> fallback_;
  bool use_fallback_ = false;
  std::string no_display_;  ///< Why the owner could not serve.
  std::unique_ptr<OwnerProcess> process_;
  std::chrono::milliseconds limit_;
  TimeBudget budget_;
};

}  // namespace nembit::clipboard
