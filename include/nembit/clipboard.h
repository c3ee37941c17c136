// The clipboard component: one operation, copy.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace nembit::clipboard {

/// A failed copy; what() is one line that names the backend, what happened
/// and, for a clipboard tool, the tool's own error output.
class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// A clipboard that text can be put on.
class Clipboard {
 public:
  virtual ~Clipboard() = default;

  /// Puts `text` on the clipboard and returns once it is there; throws
  /// Error on failure, and nembit::Interrupted when the process is asked to
  /// stop meanwhile. The clipboards that open_system_clipboard gives may be
  /// used from several threads at once: their copies take turns.
  virtual void copy(std::string_view text) = 0;
};

/// The clipboard of this desktop session, chosen once, without touching the
/// display. Under Wayland and X11, an owner process of nembit's own
/// (nembit-wayland-owner, nembit-clipboard-owner) holds the clipboard from
/// the first copy on; where it is not installed or cannot serve the display,
/// the desktop's tool does: wl-copy under Wayland, otherwise xclip or else
/// xsel under X. pbcopy on macOS; the Win32 clipboard on Windows. Null when
/// no clipboard is reachable, or when nembit was built without the
/// component. When the environment variable NEMBIT_CLIPBOARD is "none", a
/// clipboard that takes every copy and keeps nothing; any other value but
/// the empty one puts a warning in `warning`, when given.
std::unique_ptr<Clipboard> open_system_clipboard(std::string* warning = nullptr);

}  // namespace nembit::clipboard
