#include "clipboard/choice.h"

#include <gtest/gtest.h>

namespace nembit::clipboard {
namespace {

TEST(ClipboardChoice, ReadsItsSetting) {
  std::string warning;
  EXPECT_EQ(clipboard_choice(nullptr, warning), ClipboardChoice::kDesktop);
  EXPECT_EQ(clipboard_choice("", warning), ClipboardChoice::kDesktop);
  EXPECT_EQ(clipboard_choice("none", warning), ClipboardChoice::kNone);
  EXPECT_EQ(warning, "");
  EXPECT_EQ(clipboard_choice("nonesuch", warning), ClipboardChoice::kDesktop);
  EXPECT_EQ(clipboard_choice("off", warning), ClipboardChoice::kDesktop);
  EXPECT_EQ(warning, "NEMBIT_CLIPBOARD must be none or empty, not 'off'; the clipboard is used");
}

}  // namespace
}  // namespace nembit::clipboard
