#include "output_buffer.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "fd_stream_buf.h"

namespace nembit {
namespace {

std::vector<std::string> writes;

int record(std::string_view bytes, std::chrono::milliseconds /*patience*/, size_t& written) {
  writes.emplace_back(bytes);
  written = bytes.size();
  return 0;
}

int fail(std::string_view /*bytes*/, std::chrono::milliseconds /*patience*/, size_t& written) {
  written = 0;
  return 28;
}

// A run that ends between two writes leaves no line cut off, and no write
// is longer than a pipe takes whole, unless one line is.
TEST(OutputBuffer, WritesOnlyWholeLines) {
  writes.clear();
  std::string all;
  {
    OutputBuffer buffer(record, false, 4096);
    FdStreamBuf stream_buffer(buffer);
    std::ostream out(&stream_buffer);
    for (int i = 0; i < 5000; ++i) {
      const std::string line = std::string(static_cast<size_t>(i % 97), 'x') + "\n";
      out << line;
      all += line;
    }
    const std::string long_line(5000, 'y');
    out << long_line << "\n";
    all += long_line + "\n";
    out << "no line break yet";
    all += "no line break yet";
    ASSERT_GT(writes.size(), 2U);
    for (const std::string& bytes : writes) {
      EXPECT_TRUE(bytes.ends_with('\n'));
      EXPECT_TRUE(bytes.size() <= 4096 || bytes == long_line + "\n");
    }
  }
  std::string written;
  for (const std::string& bytes : writes) written += bytes;
  EXPECT_EQ(written, all);  // The rest goes at the end.
}

TEST(OutputBuffer, WritesEachLineToATerminal) {
  writes.clear();
  OutputBuffer buffer(record, true, 4096);
  buffer.put("one\ntw");
  buffer.put("o\n");
  EXPECT_EQ(writes, (std::vector<std::string>{"one\n", "two\n"}));
}

TEST(OutputBuffer, TakesNothingAfterAFailedWrite) {
  OutputBuffer buffer(fail, true, 4096);
  FdStreamBuf stream_buffer(buffer);
  std::ostream out(&stream_buffer);
  out << "a\n";
  EXPECT_EQ(buffer.error(), 28);
  out << "b\n";
  EXPECT_FALSE(out.good());
}

}  // namespace
}  // namespace nembit
