// The clipboard of a POSIX desktop session: under X11 an owner process of
// nembit's own, with a command-line tool for a display it cannot reach;
// elsewhere the tool alone. Nothing here touches the display.
#include <cstdlib>

#include "clipboard/owner_clipboard.h"
#include "clipboard/tool.h"
#include "clipboard/tool_clipboard.h"
#include "common/executable.h"

namespace nembit::clipboard {

namespace {

bool is_set(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

}  // namespace

std::unique_ptr<Clipboard> open_system_clipboard() {
  std::vector<std::string> argv = choose_clipboard_tool(&std::getenv);
  std::unique_ptr<Clipboard> tool;
  if (!argv.empty()) tool = std::make_unique<ToolClipboard>(std::move(argv));
  if (is_set("DISPLAY") && !is_set("WAYLAND_DISPLAY")) {
    std::string owner = helper_path("nembit-clipboard-owner");
    if (!owner.empty() && is_executable_file(owner)) {
      return std::make_unique<OwnerClipboard>(std::move(owner), std::move(tool));
    }
  }
  return tool;
}

}  // namespace nembit::clipboard
