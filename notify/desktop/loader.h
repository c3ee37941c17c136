// Loading the desktop notification module, nembit-desktop, which reaches the
// desktop's own notification service. One implementation per platform:
// loader_posix.cpp loads it from beside the program; on Windows
// (loader_win32.cpp) there is none yet.
#pragma once

#include <string>

#include "notify/desktop/module.h"

namespace nembit::notify {

/// The module's interface, loaded at the first call and kept for the rest of
/// the process; null, with the reason in `error`, when it cannot be loaded.
const NembitDesktopApi* load_desktop_module(std::string& error);

}  // namespace nembit::notify
