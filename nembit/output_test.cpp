#include "nembit/output.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace nembit {
namespace {

std::vector<std::string> writes;

int record(int /*stream*/, std::string_view bytes) {
  writes.emplace_back(bytes);
  return 0;
}

int fail(int /*stream*/, std::string_view /*bytes*/) { return 28; }

// A run that ends between two writes leaves no line cut off.
TEST(FdStreamBuf, WritesOnlyWholeLines) {
  writes.clear();
  std::string all;
  {
    FdStreamBuf buffer(1, record, false);
    std::ostream out(&buffer);
    for (int i = 0; i < 5000; ++i) {
      const std::string line = std::string(static_cast<size_t>(i % 97), 'x') + "\n";
      out << line;
      all += line;
    }
    out << "no line break yet";
    all += "no line break yet";
    ASSERT_GT(writes.size(), 2U);
    for (const std::string& bytes : writes) EXPECT_TRUE(bytes.ends_with('\n'));
  }
  std::string written;
  for (const std::string& bytes : writes) written += bytes;
  EXPECT_EQ(written, all);  // The rest goes at the end.
}

TEST(FdStreamBuf, WritesEachLineToATerminal) {
  writes.clear();
  FdStreamBuf buffer(1, record, true);
  std::ostream out(&buffer);
  out << "one\ntw";
  out << "o\n";
  EXPECT_EQ(writes, (std::vector<std::string>{"one\n", "two\n"}));
}

TEST(FdStreamBuf, TakesNothingAfterAFailedWrite) {
  FdStreamBuf buffer(1, fail, true);
  std::ostream out(&buffer);
  out << "a\n";
  EXPECT_EQ(buffer.error(), 28);
  out << "b\n";
  EXPECT_FALSE(out.good());
}

}  // namespace
}  // namespace nembit
