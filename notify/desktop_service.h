// The desktop's own notification service, as nembit reaches it through the
// plain C interface of notify/desktop/module.h. One implementation per
// platform: desktop_service_posix.cpp loads the module nembit-desktop
// (desktop/), which speaks to the service over the session bus;
// desktop_service_win32.cpp serves the interface itself, as the client of
// the helper that holds the notice in the notification area (tray/).
#pragma once

#include <string>

#include "notify/desktop/module.h"

namespace nembit::notify {

/// The interface to the desktop's notification service, set up at the first
/// call and kept for the rest of the process; null, with the reason in
/// `error`, when it cannot be had (the module cannot be loaded).
const NembitDesktopApi* desktop_service(std::string& error);

}  // namespace nembit::notify
