// The clipboard component: one operation, copy.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace nembit::clipboard {

/// A failed copy; what() is one line that names the backend, what happened
/// and, for a clipboard tool, the tool's own error output.
class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// A copy that did not finish in time, or that the time budget of all the
/// copies of the clipboard refused.
class TimeoutError : public Error {
 public:
  using Error::Error;
};

/// A clipboard that text can be put on.
class Clipboard {
 public:
  virtual ~Clipboard() = default;

  /// Puts `text` on the clipboard. Throws Error on failure, and
  /// nembit::Interrupted when the process is asked to stop meanwhile.
  ///
  /// The clipboards that open_system_clipboard gives return at once: the
  /// text goes to the clipboard on a thread of their own as soon as the
  /// desktop takes it (to a clipboard owner that awaited the run, from the
  /// caller's thread, without waiting), one copy at a time, and a newer
  /// copy takes the place of one that has not begun. A failure is thrown by the next copy or by
  /// flush(). A copy that timed out makes every later one fail at once with
  /// its error; any other failure ends the clipboard's work: later copies
  /// are dropped without a word. They may be used from several threads.
  virtual void copy(std::string_view text) = 0;

  /// Waits until the last text copied is on the clipboard, or its copy has
  /// failed, within the clipboard's time limits; throws as copy() does. A
  /// stop signal ends the wait and drops a copy that has not begun. The
  /// destructor waits too, unless a stop signal has come.
  virtual void flush() {}

  /// What the program should tell the user about how the clipboard was set
  /// up, such as a setting it did not understand; one line each.
  virtual std::vector<std::string> warnings() const { return {}; }
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
/// the empty one is told among the clipboard's warnings().
std::unique_ptr<Clipboard> open_system_clipboard();

}  // namespace nembit::clipboard
