// The clipboard of a POSIX desktop session: an owner process of nembit's
// own, under Wayland or X11, with a command-line tool for a display that
// the owner cannot serve; elsewhere the tool alone. Nothing here touches
// the display.
#include "clipboard/desktop_clipboard.h"
#include "clipboard/owner_clipboard.h"
#include "clipboard/tool_clipboard.h"
#include "common/child_process.h"
#include "common/environment.h"
#include "common/executable.h"

namespace nembit::clipboard {

std::unique_ptr<Clipboard> open_desktop_clipboard() {
  std::vector<std::string> argv = choose_clipboard_tool();
  std::unique_ptr<Clipboard> tool;
  if (!argv.empty()) tool = std::make_unique<ToolClipboard>(std::move(argv));
  const char* owner_name = is_set("WAYLAND_DISPLAY") ? "nembit-wayland-owner"
                           : is_set("DISPLAY")       ? "nembit-clipboard-owner"
                                                     : nullptr;
  if (owner_name != nullptr) {
    std::string owner = helper_path(owner_name);
    if (!owner.empty() && is_executable_file(owner)) {
      return std::make_unique<OwnerClipboard>(std::move(owner), std::move(tool));
    }
  }
  return tool;
}

}  // namespace nembit::clipboard
