#include "clipboard/owner/read_chance.h"

#include <gtest/gtest.h>

#include <string>

namespace nembit::owner {
namespace {

TEST(ReadChance, HoldsATextAsLongAsItsReadersMayWantIt) {
  struct Case {
    const char* what;
    ReadChance chance;
    int64_t now;
    bool first_text_chance;
    int64_t left;
  };
  const auto set_at_1000 = [](bool first, bool reader_seen, int readers, bool owned = true) {
    return ReadChance{.set_at = 1000,
                      .first = first,
                      .reader_seen = reader_seen,
                      .owned = owned,
                      .readers = readers};
  };
  const Case cases[] = {
      {"no reader, no manager", set_at_1000(false, false, 0), 1000, true, 0},
      {"a reader seen before", set_at_1000(false, true, 0), 1010, false, kAskMs - 10},
      {"a reader that waits", set_at_1000(false, false, 1), 1030, false, kReaderHoldMs - 30},
      {"a reader that waits, for no longer", set_at_1000(false, true, 1), 1600, false, 0},
      {"another client owns it", set_at_1000(false, true, 1, false), 1000, true, 0},
      {"the first text, where it may be asked for", set_at_1000(true, false, 0), 1010, true,
       kAskMs - 10},
      {"the first text, where it may not", set_at_1000(true, false, 0), 1010, false, 0},
      {"before any text", ReadChance{}, 0, true, 0},
  };
  for (const Case& test : cases) {
    EXPECT_EQ(hold_left(test.chance, test.now, test.first_text_chance), test.left) << test.what;
  }
}

TEST(ReadChance, NotesWhatHappensToTheTextHeld) {
  ReadChance chance;
  note_new_text(chance, 1000);
  EXPECT_TRUE(first_text_unasked(chance));
  chance.readers = 1;
  EXPECT_FALSE(first_text_unasked(chance));  // A reader asked.
  note_taken_over(chance);
  EXPECT_EQ(hold_left(chance, 1000, true), 0);  // Nobody's to read any more.
  note_new_text(chance, 2000);
  EXPECT_EQ(chance.readers, 0);  // A new text has no reader yet,
  EXPECT_FALSE(chance.first);    // and is not the first.
  EXPECT_FALSE(first_text_unasked(chance));
  EXPECT_EQ(hold_left(chance, 2000, true), 0);
  // A reader that had a text is busy with it a while; one that had none is
  // not known to be done.
  EXPECT_FALSE(reader_done(2000, 2000 + kReaderBusyMs - 1));
  EXPECT_TRUE(reader_done(2000, 2000 + kReaderBusyMs));
  EXPECT_FALSE(reader_done(-1, 2000));
}

TEST(ReadChance, AnswersAnOvertakenTextAndHandsOverTheNewestAfterTheFirstsChance) {
  ReadChance chance;
  note_new_text(chance, 1000);
  WaitingText waiting;
  Bytes text;
  testing::internal::CaptureStdout();
  for (const char* each : {"a", "b", "c"}) {
    assign(text, each, 1);
    queue_text(waiting, text);
    text = {};
  }
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "ok\nok\n");  // a and b, overtaken.
  int wait = 0;
  EXPECT_FALSE(take_turn(waiting, chance, true, 1010, text, wait));
  EXPECT_EQ(wait, kAskMs - 10);
  note_read(chance);  // A reader had it: the next comes at once.
  ASSERT_TRUE(take_turn(waiting, chance, true, 1011, text, wait));
  EXPECT_EQ(std::string(text.data, text.size), "c");
  EXPECT_FALSE(take_turn(waiting, chance, false, 2000, text, wait));
  EXPECT_EQ(wait, -1);
  release(text);
}

}  // namespace
}  // namespace nembit::owner
