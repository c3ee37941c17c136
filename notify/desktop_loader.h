// Loading the desktop notification module, which reaches the desktop's own
// notification service. One implementation per platform:
// desktop_loader_posix.cpp loads nembit-desktop (desktop/) from beside the
// program; desktop_loader_win32.cpp serves the module's interface itself,
// through the helper that holds the notice in the notification area (tray/).
#pragma once

#include <string>

#include "notify/desktop/module.h"

namespace nembit::notify {

/// The module's interface, loaded at the first call and kept for the rest of
/// the process; null, with the reason in `error`, when it cannot be loaded.
const NembitDesktopApi* load_desktop_module(std::string& error);

}  // namespace nembit::notify
