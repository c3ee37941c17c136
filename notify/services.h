// The notifiers of the notices component: a GNTP client and the desktop's
// own notification service, behind the choice between them (services.cpp);
// none in a build without the component (services_none.cpp).
#pragma once

#include <string>
#include <vector>

#include "nembit/notifier.h"
#include "notify/choice.h"

namespace nembit::notify {

/// The notifiers of the component for `choice` (never kNone), which tell
/// `warnings` when they are set up; empty in a build without the component.
NotifierFactory service_notifier_factory(NotifierChoice choice,
                                         const std::vector<std::string>& warnings);

}  // namespace nembit::notify
