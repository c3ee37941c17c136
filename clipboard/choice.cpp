#include "clipboard/choice.h"

#include <string_view>

#include "common/escape.h"

namespace nembit::clipboard {

ClipboardChoice clipboard_choice(const char* value, std::string& warning) {
  const std::string_view text = value != nullptr ? value : "";
  if (text == "none") return ClipboardChoice::kNone;
  if (!text.empty()) {
    warning =
        "NEMBIT_CLIPBOARD must be none or empty, not " + quoted(text) + "; the clipboard is used";
  }
  return ClipboardChoice::kDesktop;
}

}  // namespace nembit::clipboard
