// Windows has a clipboard of its own (clipboard_win32.cpp) and no clipboard
// tool: one can never be run there.
#include "clipboard/tool.h"
#include "common/path.h"
#include "nembit/clipboard.h"

namespace nembit::clipboard {

ToolOutcome run_tool(const std::vector<std::string>& argv, std::string_view /*input*/,
                     std::chrono::milliseconds /*limit*/) {
  throw Error(std::string(own_name(argv.at(0))) + ": no clipboard tool runs on Windows");
}

}  // namespace nembit::clipboard
