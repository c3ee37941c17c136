#include "output_room.h"

#include <gtest/gtest.h>

namespace nembit {
namespace {

TEST(OutputRoom, WritesOnlyWhatAPipeOrASocketCertainlyTakesWhole) {
  struct Case {
    const char* what;
    size_t got;
    size_t expected;
  };
  const Case cases[] = {
      {"a pipe, a piece it takes whole by itself", pipe_piece(4096, 4096, {65536, 60000}), 4096},
      {"a pipe that holds nothing", pipe_piece(20000, 4096, {65536, 0}), 20000},
      {"a pipe that holds something", pipe_piece(20000, 4096, {65536, 1}), 0},
      {"a pipe smaller than the piece", pipe_piece(200000, 4096, {65536, 0}), 65536},
      {"a pipe that does not tell", pipe_piece(20000, 4096, {0, 0}), 20000},
      {"TCP, half its buffer free", stream_piece(16384, {65536, 16384, false}), 16384},
      {"TCP, half its buffer short of it", stream_piece(16385, {65536, 16384, false}), 0},
      {"TCP, more than half its buffer", stream_piece(40000, {65536, 8192, false}), 24576},
      {"TCP, more queued than half", stream_piece(100, {65536, 40000, false}), 0},
      {"UNIX, its buffer free", stream_piece(40000, {65536, 25536, true}), 40000},
  };
  for (const Case& test : cases) EXPECT_EQ(test.got, test.expected) << test.what;
}

}  // namespace
}  // namespace nembit
