// The clipboard component's entry: the clipboard that copies go to, as the
// setting and the desktop session give it.
#include <vector>

#include "clipboard/choice.h"
#include "clipboard/desktop_clipboard.h"
#include "clipboard/paced_clipboard.h"
#include "common/environment.h"

namespace nembit::clipboard {

namespace {

// The clipboard of a user who wants none: copies go nowhere, silently.
class NoClipboard : public Clipboard {
 public:
  void copy(std::string_view /*text*/) override {}
};

}  // namespace

std::unique_ptr<Clipboard> open_system_clipboard() {
  std::string warning;
  if (clipboard_choice(system_getenv("NEMBIT_CLIPBOARD"), warning) == ClipboardChoice::kNone) {
    return std::make_unique<NoClipboard>();
  }
  DesktopClipboard desktop = open_desktop_clipboard();
  if (!desktop.clipboard) return nullptr;
  std::vector<std::string> warnings;
  if (!warning.empty()) warnings.push_back(std::move(warning));
  return std::make_unique<PacedClipboard>(std::move(desktop.clipboard), std::move(warnings),
                                          desktop.at_once);
}

}  // namespace nembit::clipboard
