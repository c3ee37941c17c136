// The clipboard component: one operation, copy.
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

/// A clipboard that text can be put on.
class Clipboard {
 public:
  virtual ~Clipboard() = default;

  /// Puts `text` on the clipboard and returns once it is there; throws
  /// Error on failure, and nembit::Interrupted when the process is asked to
  /// stop meanwhile.
  virtual void copy(std::string_view text) = 0;
};

/// The clipboard of this desktop session, chosen once, without touching the
/// display: on Linux wl-copy under Wayland, otherwise xclip or else xsel
/// under X; pbcopy on macOS; the Win32 clipboard on Windows. Null when no
/// backend is reachable, or when nembit was built without the component.
std::unique_ptr<Clipboard> open_system_clipboard();

}  // namespace nembit::clipboard
