#include "clipboard/tool_clipboard.h"

#include "clipboard/tool.h"
#include "common/child_process.h"
#include "common/escape.h"
#include "common/path.h"

namespace nembit::clipboard {

namespace {

// A tool's error output on one line, each run of blanks and line breaks as
// one blank, anything else unsafe escaped, cut to the length of one line.
std::string one_line(std::string_view errors) {
  std::string line;
  bool blank = true;
  for (const char c : errors.substr(0, kShownTextLimit)) {
    const bool space = c == '\n' || c == '\r' || c == '\t' || c == ' ';
    if (space && !blank) line += ' ';
    if (!space) line += c;
    blank = space;
  }
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return printable_text(line, kShownTextLimit);
}

std::string describe(const std::string& tool, const ToolOutcome& outcome,
                     std::chrono::milliseconds limit) {
  std::string text = tool + ": ";
  switch (outcome.end) {
    case ToolOutcome::End::kExited:
      text += "exited with status " + std::to_string(outcome.code);
      break;
    case ToolOutcome::End::kSignalled:
      text += "killed by signal " + std::to_string(outcome.code);
      break;
    case ToolOutcome::End::kTimedOut:
      text += "timed out after " + std::to_string(limit.count()) + " ms";
      break;
  }
  const std::string errors = one_line(outcome.errors);
  if (!errors.empty()) text += ": " + errors;
  return text;
}

// The path of `name` in the first directory of PATH that holds it; empty
// directories in PATH, which would mean the working directory, are passed over.
std::string find_on_path(const GetEnv& getenv, std::string_view name) {
  const char* path = getenv("PATH");
  std::string_view dirs = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
  while (!dirs.empty()) {
    const size_t colon = dirs.find(':');
    const std::string_view dir = dirs.substr(0, colon);
    dirs = colon == std::string_view::npos ? std::string_view() : dirs.substr(colon + 1);
    if (dir.empty()) continue;
    std::string candidate(dir);
    candidate.append("/").append(name);
    if (is_executable_file(candidate)) return candidate;
  }
  return {};
}

}  // namespace

ToolClipboard::ToolClipboard(std::vector<std::string> argv, std::chrono::milliseconds limit)
    : argv_(std::move(argv)), tool_(own_name(argv_.front())), limit_(limit) {}

void ToolClipboard::copy(std::string_view text) {
  const std::lock_guard lock(mutex_);
  const ToolOutcome outcome = run_tool(argv_, text, limit_);
  if (outcome.end == ToolOutcome::End::kExited && outcome.code == 0) return;
  const std::string error = describe(tool_, outcome, limit_);
  if (outcome.end == ToolOutcome::End::kTimedOut) throw TimeoutError(error);
  throw Error(error);
}

std::vector<std::string> choose_clipboard_tool(const GetEnv& getenv, bool on_mac) {
  struct Candidate {
    const char* display;  // The variable that must be set, or null.
    const char* name;
    std::vector<std::string> arguments;
  };
  // macOS has pbcopy and no display variable; other systems lack pbcopy,
  // and are not searched for it.
  const Candidate candidates[] = {
      {"WAYLAND_DISPLAY", "wl-copy", {"--type", "text/plain;charset=utf-8"}},
      {"DISPLAY", "xclip", {"-selection", "clipboard"}},
      {"DISPLAY", "xsel", {"--clipboard", "--input"}},
      {nullptr, "pbcopy", {}},
  };
  for (const Candidate& candidate : candidates) {
    if (candidate.display != nullptr && !is_set(candidate.display, getenv)) continue;
    if (candidate.display == nullptr && !on_mac) continue;
    std::string path = find_on_path(getenv, candidate.name);
    if (path.empty()) continue;
    std::vector<std::string> argv{std::move(path)};
    argv.insert(argv.end(), candidate.arguments.begin(), candidate.arguments.end());
    return argv;
  }
  return {};
}

}  // namespace nembit::clipboard
