#include "clipboard/tool_clipboard.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include "tests/support/scratch_dir.h"

namespace nembit::clipboard {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using namespace std::chrono_literals;

class ToolClipboardTest : public ::testing::Test {
 protected:
  // Writes an executable shell script `name` and returns its path.
  std::string tool(const std::string& name, const std::string& body) {
    const fs::path path = dir_ / name;
    std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
    fs::permissions(path, fs::perms::owner_all);
    return path.string();
  }
  std::string read(const std::string& name) {
    std::ifstream in(dir_ / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  // The message of the error that copying `text` with `argv` raises.
  static std::string failure(const std::vector<std::string>& argv, std::string_view text,
                             std::chrono::milliseconds limit = 5s) {
    try {
      ToolClipboard(argv, limit).copy(text);
    } catch (const Error& error) {
      return error.what();
    }
    return "no error";
  }

  ScratchDir scratch_{"clipboard-test-"};
  const fs::path& dir_ = scratch_.path();
};

TEST_F(ToolClipboardTest, GivesTheTextToTheTool) {
  const std::string text = "/home/u/caf\u00e9 'x'\n$(reboot)";
  ToolClipboard({tool("copy", "cat > \"$0.out\""), "-selection", "clipboard"}).copy(text);
  EXPECT_EQ(read("copy.out"), text);
}

TEST_F(ToolClipboardTest, DoesNotWaitForWhatTheToolLeavesBehind) {
  // Like xclip: the tool ends at once, but a process it started keeps the
  // error pipe open for longer than the limit.
  const std::string daemon = tool("daemon", "cat > \"$0.out\"; (sleep 3 &); exit 0");
  ToolClipboard({daemon}, 2s).copy("held");
  EXPECT_EQ(read("daemon.out"), "held");
}

TEST_F(ToolClipboardTest, SurvivesAToolThatReadsNothing) {
  ToolClipboard({tool("deaf", "exit 0")}).copy(std::string(1 << 20, 'x'));
}

TEST_F(ToolClipboardTest, GivesTheToolNoInheritedDescriptor) {
  int fds[2] = {-1, -1};
  ASSERT_EQ(::pipe(fds), 0);  // Inheritable, as a caller's pipe may be.
  const std::string check = "[ -e /proc/self/fd/" + std::to_string(fds[1]) + " ] && exit 7; exit 0";
  EXPECT_EQ(failure({tool("check", check)}, "x"), "no error");
  ::close(fds[0]);
  ::close(fds[1]);
}

TEST_F(ToolClipboardTest, GivesTheToolNoBlockedSignal) {
  // Copies run on a thread of their own, which may block signals. The tool is
  // no shell script: a shell would reset the mask of what it starts.
  sigset_t blocked;
  sigemptyset(&blocked);
  sigaddset(&blocked, SIGTERM);
  sigaddset(&blocked, SIGUSR1);
  sigset_t previous;
  pthread_sigmask(SIG_BLOCK, &blocked, &previous);
  const std::string out = (dir_ / "mask").string();
  ToolClipboard({"/usr/bin/python3", "-c",
                 "import sys\n"
                 "mask = [l for l in open('/proc/self/status') if l.startswith('SigBlk')]\n"
                 "open(sys.argv[1], 'w').write(mask[0])",
                 out})
      .copy("x");
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  EXPECT_EQ(read("mask"), "SigBlk:\t0000000000000000\n");
}

TEST_F(ToolClipboardTest, DescribesEveryFailure) {
  EXPECT_EQ(failure({tool("xclip",
                          "echo 'Error: Can'\\''t open display' >&2\n"
                          "echo second line >&2; exit 1")},
                    "x"),
            "xclip: exited with status 1: Error: Can't open display second line");
  EXPECT_EQ(failure({tool("hang", "exec sleep 30")}, "x", 200ms), "hang: timed out after 200 ms");
  EXPECT_EQ(failure({tool("crash", "kill -9 $$")}, "x"), "crash: killed by signal 9");
  EXPECT_EQ(failure({(dir_ / "gone").string()}, "x"),
            "gone: could not start: [Errno 2] No such file or directory");
}

// Whether process `pid` has ended (it may linger as a zombie of init's).
bool has_ended(const std::string& pid) {
  std::ifstream stat("/proc/" + pid + "/stat");
  std::string fields[3];
  stat >> fields[0] >> fields[1] >> fields[2];
  return !stat || fields[2] == "Z";
}

TEST_F(ToolClipboardTest, StopsAStalledToolWithAllItStarted) {
  ToolClipboard clipboard({tool("hang", R"(sleep 30 & echo $! > "$0.pid"; wait)")}, 300ms);
  EXPECT_THROW(clipboard.copy("x"), TimeoutError);
  const std::string pid = read("hang.pid").substr(0, read("hang.pid").find('\n'));
  for (int i = 0; i < 100 && !has_ended(pid); ++i) std::this_thread::sleep_for(50ms);
  EXPECT_TRUE(has_ended(pid)) << "the tool's child " << pid << " still runs";
}

TEST_F(ToolClipboardTest, ChoosesTheToolOfTheSession) {
  for (const char* name : {"wl-copy", "xclip", "xsel"}) tool(name, "exit 0");
  const std::string path = "/nonexistent::" + dir_.string();
  std::map<std::string, std::string> env{{"PATH", path}};
  const GetEnv getenv = [&](const char* name) -> const char* {
    const auto found = env.find(name);
    return found == env.end() ? nullptr : found->second.c_str();
  };
  EXPECT_THAT(choose_clipboard_tool(getenv), IsEmpty());
  env["DISPLAY"] = ":0";
  EXPECT_THAT(choose_clipboard_tool(getenv),
              ElementsAre((dir_ / "xclip").string(), "-selection", "clipboard"));
  env["WAYLAND_DISPLAY"] = "wayland-0";
  EXPECT_THAT(choose_clipboard_tool(getenv),
              ElementsAre((dir_ / "wl-copy").string(), "--type", "text/plain;charset=utf-8"));
  fs::remove(dir_ / "wl-copy");
  fs::remove(dir_ / "xclip");
  EXPECT_THAT(choose_clipboard_tool(getenv),
              ElementsAre((dir_ / "xsel").string(), "--clipboard", "--input"));
  env["DISPLAY"] = "";
  EXPECT_THAT(choose_clipboard_tool(getenv), IsEmpty());
  tool("pbcopy", "exit 0");  // As macOS has it, where alone it is looked for.
  EXPECT_THAT(choose_clipboard_tool(getenv, false), IsEmpty());
  EXPECT_THAT(choose_clipboard_tool(getenv, true), ElementsAre((dir_ / "pbcopy").string()));
}

}  // namespace
}  // namespace nembit::clipboard
