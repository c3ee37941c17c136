// The choice, once per run, of where notices go, as NEMBIT_NOTIFIER asks.
#pragma once

#include <string>
#include <vector>

#include "nembit/notifier.h"

namespace nembit::notify {

/// Where notices may go.
enum class NotifierChoice {
  kAuto,     ///< GNTP, or the desktop's service when no GNTP server listens.
  kGntp,     ///< A GNTP server only.
  kDesktop,  ///< The desktop's notification service only.
  kNone,     ///< Nowhere: the user wants no notices.
};

/// What a value of NEMBIT_NOTIFIER asks for ("auto" when unset or empty),
/// and a warning for a value it does not know, which asks for "auto".
NotifierChoice notifier_choice(const char* value, std::string& warning);

/// The notifiers of the component for `choice` (never kNone), which tell
/// `warnings` when they are set up; empty in a build without the component
/// (none.cpp).
NotifierFactory service_notifier_factory(NotifierChoice choice,
                                         const std::vector<std::string>& warnings);

}  // namespace nembit::notify
