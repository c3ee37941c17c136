// The clipboard of a POSIX desktop session: an owner process of nembit's
// own, under Wayland or X11, with a command-line tool for a display that
// the owner cannot serve; elsewhere the tool alone. Nothing here touches
// the display.
#include "clipboard/desktop_clipboard.h"
#include "clipboard/owner/owner_socket.h"
#include "clipboard/owner_clipboard.h"
#include "clipboard/tool_clipboard.h"
#include "common/child_process.h"
#include "common/environment.h"
#include "common/executable.h"

namespace nembit::clipboard {

DesktopClipboard open_desktop_clipboard() {
  std::vector<std::string> argv = choose_clipboard_tool();
  std::unique_ptr<Clipboard> tool;
  if (!argv.empty()) tool = std::make_unique<ToolClipboard>(std::move(argv));
  const bool wayland = is_set("WAYLAND_DISPLAY");
  if (wayland || is_set("DISPLAY")) {
    const char* display_variable = wayland ? "WAYLAND_DISPLAY" : "DISPLAY";
    std::string owner = helper_path(wayland ? "nembit-wayland-owner" : "nembit-clipboard-owner");
    if (!owner.empty() && is_executable_file(owner)) {
      // The owner that holds the clipboard after a run may take this one.
      char socket[owner::kOwnerSocketPathSize];
      const bool reachable =
          owner::owner_socket_path(system_getenv("XDG_RUNTIME_DIR"), owner.c_str(),
                                   system_getenv(display_variable), socket, sizeof socket);
      auto clipboard = std::make_unique<OwnerClipboard>(std::move(owner), std::move(tool),
                                                        reachable ? socket : "");
      const bool at_once = clipboard->at_once();
      return {.clipboard = std::move(clipboard), .at_once = at_once};
    }
  }
  return {.clipboard = std::move(tool)};
}

}  // namespace nembit::clipboard
