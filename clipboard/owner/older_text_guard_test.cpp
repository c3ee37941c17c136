#include "clipboard/owner/older_text_guard.h"

#include <gtest/gtest.h>

#include <string>

namespace nembit::owner {
namespace {

bool take_back(OlderTextGuard& guard, const std::string& text, int64_t now, bool reader_seen) {
  return take_back(guard, text.data(), text.size(), now, reader_seen);
}

TEST(OlderTextGuard, PutsTheNewestBackOnAnOlderTextThatAManagerRestoresSoon) {
  struct Case {
    const char* what;
    std::string put_back;
    int64_t after;
    bool reader_seen;
    bool taken_back;
  };
  const Case cases[] = {
      {"what the clipboard held before", "before", 10, true, true},
      {"an older text of the run", "/run/a", kGuardMs - 1, true, true},
      {"with no reader seen, what a script restores", "before", 10, false, false},
      {"too late", "/run/a", kGuardMs, true, false},
      {"the newest itself", "/run/b", 10, true, false},
      {"a text of no run", "new", 10, true, false},
  };
  for (const Case& test : cases) {
    OlderTextGuard guard;
    remember_before_run(guard, "before", 6);
    note_newest(guard, "/run/a", 6, 500);
    note_newest(guard, "/run/b", 6, 1000);
    EXPECT_EQ(take_back(guard, test.put_back, 1000 + test.after, test.reader_seen), test.taken_back)
        << test.what;
  }
}

TEST(OlderTextGuard, GuardsAsLongAsTheManagerWorksButPutsTheNewestBackAFewTimesAtMost) {
  OlderTextGuard guard;
  remember_before_run(guard, "before", 6);
  note_newest(guard, "/run/a", 6, 1000);
  EXPECT_FALSE(take_back(guard, "/run/a", 1000 + kGuardMs - 1, true));  // Re-served: still at work.
  EXPECT_EQ(guard_left(guard, 1000 + kGuardMs), kGuardMs - 1);
  note_newest(guard, "/run/a", 6, 1000);
  for (int i = 0; i < kMaxRetakes; ++i) EXPECT_TRUE(take_back(guard, "before", 1010, true));
  EXPECT_FALSE(take_back(guard, "before", 1010, true));
  EXPECT_EQ(guard_left(guard, 1010), 0);
  note_newest(guard, "/run/b", 6, 1100);  // A new text is guarded afresh.
  EXPECT_EQ(guard_left(guard, 1100), kGuardMs);
  EXPECT_TRUE(take_back(guard, "/run/a", 1110, true));
  EXPECT_FALSE(take_back(guard, "someone's", 1120, true));  // The clipboard has moved on.
  EXPECT_FALSE(take_back(guard, "/run/a", 1130, true));
  // A manager late by seconds re-serves the older texts one after another.
  for (int i = 0; i < 4; ++i) note_newest(guard, ("/late/" + std::to_string(i)).data(), 7, 2000);
  for (int round = 0; round < 2; ++round) {
    for (int i = 0; i < 3; ++i) {
      EXPECT_TRUE(take_back(guard, "/late/" + std::to_string(i), 2010 + round * 10 + i, true));
    }
  }
}

TEST(OlderTextGuard, RemembersTheLatestTextsAndHandsThemOn) {
  OlderTextGuard guard;
  for (int i = 0; i <= static_cast<int>(kRemembered); ++i) {
    const std::string text = "/run/" + std::to_string(i);
    note_newest(guard, text.data(), text.size(), 1000);
  }
  // The oldest of the latest, but none before them.
  EXPECT_TRUE(take_back(guard, "/run/1", 1010, true));
  EXPECT_FALSE(take_back(guard, "/run/0", 1020, true));
  for (const bool done : {false, true}) {
    char handed[kHandedSize];
    const size_t size = handed_texts(guard, done, handed, sizeof handed);
    OlderTextGuard next;
    bool reader_done = !done;
    ASSERT_TRUE(remember_handed(next, handed, size, reader_done));
    EXPECT_EQ(reader_done, done);
    note_newest(next, "/next", 5, 2000);
    EXPECT_TRUE(take_back(next, "/run/1", 2010, true));
    // A text, from an owner of old.
    EXPECT_FALSE(remember_handed(next, "/home/u/x", 9, reader_done));
  }
}

}  // namespace
}  // namespace nembit::owner
