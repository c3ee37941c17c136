// The clipboard that the desktop session offers, one implementation per
// platform (desktop_clipboard_posix.cpp, desktop_clipboard_win32.cpp), and
// desktop_clipboard_none.cpp in a build without the component.
#pragma once

#include <memory>

#include "nembit/clipboard.h"

namespace nembit::clipboard {

/// The clipboard of a desktop session, and whether its copies never wait
/// for the desktop, and so need no thread of their own.
struct DesktopClipboard {
  std::unique_ptr<Clipboard> clipboard;  ///< Null when none is reachable.
  bool at_once = false;
};

/// The clipboard of this desktop session, chosen without touching the
/// display.
DesktopClipboard open_desktop_clipboard();

}  // namespace nembit::clipboard
