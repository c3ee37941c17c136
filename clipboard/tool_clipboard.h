// A clipboard reached through a command-line tool such as xclip.
#pragma once

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "common/build_config.h"
#include "common/environment.h"
#include "common/time_limits.h"
#include "nembit/clipboard.h"

namespace nembit::clipboard {

/// Puts text on the clipboard by running a tool with the text as its input;
/// copies from several threads take turns.
class ToolClipboard : public Clipboard {
 public:
  /// `argv` is the tool's path and arguments; a copy that takes longer than
  /// `limit` is stopped, with all the tool started, and fails with
  /// TimeoutError.
  explicit ToolClipboard(std::vector<std::string> argv,
                         std::chrono::milliseconds limit = kCallLimit);
  void copy(std::string_view text) override;

 private:
  std::mutex mutex_;
  std::vector<std::string> argv_;
  std::string tool_;  ///< The tool's name, for errors.
  std::chrono::milliseconds limit_;
};

/// The tool for the desktop session that the environment describes, with its
/// arguments: wl-copy (with the type of text it copies, so that it need not
/// guess it) when WAYLAND_DISPLAY is set, otherwise xclip or else xsel when
/// DISPLAY is set, otherwise pbcopy `on_mac`. Tools are looked up on PATH.
/// Empty when none fits.
std::vector<std::string> choose_clipboard_tool(const GetEnv& getenv = system_getenv,
                                               bool on_mac = kMacBuild);

}  // namespace nembit::clipboard
