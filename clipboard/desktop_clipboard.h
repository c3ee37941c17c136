// The clipboard that the desktop session offers, one implementation per
// platform (clipboard_posix.cpp, clipboard_win32.cpp), and none.cpp in a
// build without the component.
#pragma once

#include <memory>

#include "nembit/clipboard.h"

namespace nembit::clipboard {

/// The clipboard of this desktop session, chosen without touching the
/// display; null when none is reachable.
std::unique_ptr<Clipboard> open_desktop_clipboard();

}  // namespace nembit::clipboard
