// The choice, once per process, of whether copies go to the clipboard, as
// NEMBIT_CLIPBOARD asks.
#pragma once

#include <string>

namespace nembit::clipboard {

/// Where copies may go.
enum class ClipboardChoice {
  kDesktop,  ///< The clipboard of the desktop session.
  kNone,     ///< Nowhere: the user wants no copies.
};

/// What a value of NEMBIT_CLIPBOARD asks for (the desktop's clipboard when
/// unset or empty), and a warning for a value it does not know, which asks
/// for the desktop's clipboard.
ClipboardChoice clipboard_choice(const char* value, std::string& warning);

}  // namespace nembit::clipboard
