// The system clipboard: one operation, copy.
#pragma once

#include <memory>
#include <stdexcept>
#include <string_view>

namespace nembit::clipboard {

/// A failed copy; what() is one line that names the backend, what happened
/// and, for a clipboard tool, the tool's own error output.
class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// Thrown through every caller when the process is asked to stop (SIGINT,
/// SIGTERM or SIGHUP) while a copy is under way, after the copy has been
/// stopped. It is no std::exception, so that no error handler takes it for
/// a failed copy; the program's entry catches it and ends with the signal.
struct Interrupted {
  int signal = 0;
};

/// A clipboard that text can be put on.
class Clipboard {
 public:
  virtual ~Clipboard() = default;

  /// Puts `text` on the clipboard; throws Error on failure.
  virtual void copy(std::string_view text) = 0;
};

/// The clipboard of this desktop session, chosen once: on Linux wl-copy under
/// Wayland, otherwise xclip or xsel under X; pbcopy on macOS; the Win32
/// clipboard on Windows. Null when no backend is reachable.
std::unique_ptr<Clipboard> open_system_clipboard();

}  // namespace nembit::clipboard
