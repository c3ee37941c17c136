#include "clipboard/owner/desktop_memory.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <ctime>
#include <fstream>
#include <string>

#include "clipboard/owner/older_text_guard.h"
#include "tests/support/scratch_dir.h"

namespace nembit::owner {
namespace {

constexpr int64_t kNow = 1'000'000'000;

std::string file_text(const DesktopMemory& memory) {
  char text[256];
  return {text, format_memory(memory, text, sizeof text)};
}

TEST(DesktopMemory, TellsARunWhatToExpectOfItsDisplay) {
  struct Case {
    const char* what;
    std::string text;  // The file's, or "-" for none.
    bool own = true;   // This user's file.
    ReaderExpectation expected;
  };
  const Case cases[] = {
      {"none", "-", true, ReaderExpectation::kUnknown},
      {"a reader seen lately", file_text({kNow - 60, -1}), true, ReaderExpectation::kManager},
      {"a reader seen, then a first text unasked", file_text({kNow - 60, kNow - 30}), true,
       ReaderExpectation::kNone},
      {"a first text unasked, then a reader seen", file_text({kNow - 30, kNow - 60}), true,
       ReaderExpectation::kManager},
      {"no reader seen", file_text({-1, kNow - 30}), true, ReaderExpectation::kNone},
      {"a reader seen long ago", file_text({kNow - kReaderMemorySeconds - 1, -1}), true,
       ReaderExpectation::kNone},
      {"cut short", file_text({kNow - 60, -1}).substr(0, 30), true, ReaderExpectation::kUnknown},
      {"of another kind", "reader-seen 1\nunasked -1\n", true, ReaderExpectation::kUnknown},
      {"another user's", file_text({kNow - 60, -1}), false, ReaderExpectation::kUnknown},
  };
  const ScratchDir scratch("memory-test-");
  for (const Case& test : cases) {
    const std::string path = (scratch.path() / "memory").string();
    std::remove(path.c_str());
    if (test.text != "-") std::ofstream(path) << test.text;
    if (!test.own && (::geteuid() != 0 || ::chown(path.c_str(), 65534, 65534) != 0)) continue;
    DesktopMemory memory;
    const bool known = read_memory(path.c_str(), memory);
    EXPECT_EQ(expect_readers(known ? &memory : nullptr, kNow), test.expected) << test.what;
  }
}

TEST(DesktopMemory, KeepsWhatEachRunLearntForTheNext) {
  const ScratchDir scratch("memory-test-");
  char path[4096];
  ASSERT_TRUE(
      memory_path(scratch.path().c_str(), "wayland", "/run/user/1 wayland-1", path, sizeof path));
  EXPECT_EQ(std::string(path),
            scratch.path().string() + "/nembit-clipboard-wayland-_run_user_1_wayland-1");
  EXPECT_FALSE(memory_path(nullptr, "wayland", "wayland-1", path, sizeof path));
  ::setenv("XDG_RUNTIME_DIR", scratch.path().c_str(), 1);
  DisplayMemory display;
  OlderTextGuard guard;
  recall(display, "wayland", "wayland-1", guard, kNow);
  EXPECT_EQ(display.expected, ReaderExpectation::kUnknown);
  remember_reader(display, kNow);
  recall(display, "wayland", "wayland-1", guard, kNow + 10);
  EXPECT_EQ(display.expected, ReaderExpectation::kManager);
  display.first_unasked = true;
  end_run(display, /*reader_seen=*/true, guard, true,
          kNow + 20);  // A busy manager read a later text.
  recall(display, "wayland", "wayland-1", guard, kNow + 30);
  EXPECT_EQ(display.expected, ReaderExpectation::kManager);
  display.first_unasked = true;
  end_run(display, /*reader_seen=*/false, guard, true, kNow + 40);
  recall(display, "wayland", "wayland-1", guard, kNow + 50);
  EXPECT_EQ(display.expected, ReaderExpectation::kNone);
  // An owner that the next run reaches expects what a new one would recall.
  DisplayMemory reached;
  reached.first_unasked = true;
  end_run_for_next(reached, /*reader_seen=*/false, guard, true, kNow + 45);
  EXPECT_EQ(reached.expected, ReaderExpectation::kNone);
  EXPECT_FALSE(reached.first_unasked);
  // The texts a run's owner remembers stay known to the next runs' a while.
  remember_before_run(guard, "saved", 5);
  note_newest(guard, "/tmp/a", 6, 0);
  // Its reader, not done with its text, is taken for busy a second more.
  end_run(display, /*reader_seen=*/true, guard, /*reader_done=*/false, kNow + 60);
  const int64_t written = std::time(nullptr);
  for (const int64_t later :
       {int64_t{0}, int64_t{2}, kKeptTextsSeconds - 2, kKeptTextsSeconds + 2}) {
    OlderTextGuard next;
    DisplayMemory next_display;
    recall(next_display, "wayland", "wayland-1", next, written + later);
    EXPECT_EQ(next_display.reader_busy, later == 0) << later;
    note_newest(next, "/tmp/b", 6, 0);
    // Known as older, a text of the run before is put back under; after a
    // while it is a text like any other.
    EXPECT_EQ(take_back(next, "saved", 5, 1, true), later < kKeptTextsSeconds) << later;
    EXPECT_EQ(take_back(next, "/tmp/a", 6, 1, true), later < kKeptTextsSeconds) << later;
  }
  ::unsetenv("XDG_RUNTIME_DIR");
}

}  // namespace
}  // namespace nembit::owner
