// The clipboard of a POSIX desktop session: a command-line tool.
#include <cstdlib>

#include "clipboard/tool_clipboard.h"

namespace nembit::clipboard {

std::unique_ptr<Clipboard> open_system_clipboard() {
  std::vector<std::string> argv = choose_clipboard_tool(&std::getenv);
  if (argv.empty()) return nullptr;
  return std::make_unique<ToolClipboard>(std::move(argv));
}

}  // namespace nembit::clipboard
