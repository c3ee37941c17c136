// A clipboard reached through a command-line tool such as xclip.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "common/time_budget.h"
#include "nembit/clipboard.h"

namespace nembit::clipboard {

/// Puts text on the clipboard by running a tool with the text as its input.
class ToolClipboard : public Clipboard {
 public:
  /// `argv` is the tool's path and arguments; a copy that takes longer than
  /// `limit`, or than what is left of `budget` for all the copies of this
  /// clipboard, is stopped and fails. After one such time-out, or once the
  /// budget is spent, every later copy fails at once with the same error: a
  /// stalled or slow clipboard costs a bounded wait.
  explicit ToolClipboard(std::vector<std::string> argv,
                         std::chrono::milliseconds limit = std::chrono::seconds(5),
                         std::chrono::milliseconds budget = std::chrono::seconds(10));
  void copy(std::string_view text) override;

 private:
  std::vector<std::string> argv_;
  std::string tool_;  ///< The tool's name, for errors.
  std::chrono::milliseconds limit_;
  TimeBudget budget_;
};

/// Reads an environment variable; null when it is unset.
using GetEnv = std::function<const char*(const char*)>;

/// The tool for the desktop session that the environment describes, with its
/// arguments: wl-copy when WAYLAND_DISPLAY is set, otherwise xclip or else
/// xsel when DISPLAY is set, otherwise pbcopy (macOS). Tools are looked up
/// on PATH. Empty when none fits.
std::vector<std::string> choose_clipboard_tool(const GetEnv& getenv);

}  // namespace nembit::clipboard
