// The clipboard that the desktop session offers, one implementation per
// platform (desktop_clipboard_posix.cpp, desktop_clipboard_win32.cpp), and
// desktop_clipboard_none.cpp in a build without the component.
#pragma once

#include <memory>

#include "nembit/clipboard.h"

namespace nembit::clipboard {

/// The clipboard of this desktop session, chosen without touching the
/// display; null when none is reachable.
std::unique_ptr<Clipboard> open_desktop_clipboard();

}  // namespace nembit::clipboard
