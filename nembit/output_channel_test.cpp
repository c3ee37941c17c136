#include "output_channel.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace nembit {
namespace {

// Where the output cannot be opened apart, its own thread writes, by the
// same rule of room, and the run's wait for it ends when nobody reads.
TEST(OutputChannel, LeavesItsThreadBehindWhenNobodyReads) {
  int pipe_ends[2];
  ASSERT_EQ(::pipe(pipe_ends), 0);
  ASSERT_EQ(::write(pipe_ends[1], "\n", 1), 1);  // So that a long piece must wait.
  const OutputChannel channel = open_output(pipe_ends[1], /*open_apart=*/false);
  const std::string lines(8192, '\n');
  size_t written = 0;
  EXPECT_EQ(write_output(channel, lines, std::chrono::milliseconds(100), written), EAGAIN);
  EXPECT_EQ(written, lines.size());  // Handed over: the thread writes them once it can.
  // The pipe stays open: the thread naps on, as it does after a run that ends.
}

}  // namespace
}  // namespace nembit
