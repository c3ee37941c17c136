// The choice, once per run, of where notices go, as NEMBIT_NOTIFIER asks.
#pragma once

#include <string>

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

}  // namespace nembit::notify
