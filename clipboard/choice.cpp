// Whether the user wants the clipboard (NEMBIT_CLIPBOARD), and which one.
#include "clipboard/desktop_clipboard.h"
#include "clipboard/paced_clipboard.h"
#include "common/environment.h"
#include "common/escape.h"

namespace nembit::clipboard {

namespace {

// The clipboard of a user who wants none: copies go nowhere, silently.
class NoClipboard : public Clipboard {
 public:
  void copy(std::string_view /*text*/) override {}
};

}  // namespace

std::unique_ptr<Clipboard> open_system_clipboard(std::string* warning) {
  const std::string setting = environment_value("NEMBIT_CLIPBOARD");
  if (setting == "none") return std::make_unique<NoClipboard>();
  if (!setting.empty() && warning != nullptr) {
    *warning = "NEMBIT_CLIPBOARD must be none or empty, not " + quoted(setting) +
               "; the clipboard is used";
  }
  std::unique_ptr<Clipboard> desktop = open_desktop_clipboard();
  if (!desktop) return nullptr;
  return std::make_unique<PacedClipboard>(std::move(desktop));
}

}  // namespace nembit::clipboard
