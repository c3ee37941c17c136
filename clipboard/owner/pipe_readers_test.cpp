#include "clipboard/owner/pipe_readers.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "clipboard/owner/read_chance.h"

namespace nembit::owner {
namespace {

TEST(PipeReaders, CountsOnlyTheReadersThatDoNotHaveTheTextYet) {
  // A text longer than a pipe takes at once, in pieces as Bytes grows.
  const std::string long_text(100'000, 'x');
  Bytes text;
  for (size_t at = 0; at < long_text.size(); at += 4096) {
    append(text, long_text.data() + at, std::min<size_t>(4096, long_text.size() - at));
  }
  ASSERT_EQ(std::string(text.data, text.size), long_text);
  PipeReaders readers;
  int whole_pipe[2];
  int stalled_pipe[2];
  ASSERT_EQ(::pipe(whole_pipe), 0);
  ASSERT_EQ(::pipe(stalled_pipe), 0);
  PipeReader* reading = add_reader(readers, whole_pipe[1], text, 0);
  ASSERT_NE(add_reader(readers, stalled_pipe[1], text, 0), nullptr);
  EXPECT_EQ(readers_of(readers, text.data), 2);
  bool whole = false;
  std::string got;
  char buffer[65536];
  while (!serve_pipe(*reading, 10, whole)) {
    got.append(buffer, static_cast<size_t>(::read(whole_pipe[0], buffer, sizeof buffer)));
  }
  for (ssize_t n = 0; (n = ::read(whole_pipe[0], buffer, sizeof buffer)) > 0;) {
    got.append(buffer, static_cast<size_t>(n));
  }
  EXPECT_TRUE(whole);
  EXPECT_EQ(got, long_text);
  EXPECT_EQ(readers_of(readers, text.data), 1);            // One that has it all is no longer one.
  EXPECT_EQ(end_stalled(readers, kReaderLimitMs - 1), 1);  // It may wait a moment still.
  EXPECT_EQ(end_stalled(readers, kReaderLimitMs), -1);     // One that took nothing is given up.
  EXPECT_EQ(readers_of(readers, text.data), 0);
  EXPECT_FALSE(any_reader(readers));
  release(text);
  for (const int fd : {whole_pipe[0], stalled_pipe[0]}) ::close(fd);
}

}  // namespace
}  // namespace nembit::owner
