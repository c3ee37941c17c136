#include "clipboard/owner_clipboard.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "tests/support/scratch_dir.h"

namespace nembit::clipboard {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using namespace std::chrono_literals;

class FakeTool : public Clipboard {
 public:
  explicit FakeTool(std::vector<std::string>& copied) : copied_(copied) {}
  void copy(std::string_view text) override { copied_.emplace_back(text); }

 private:
  std::vector<std::string>& copied_;
};

// Fake owners: shell scripts that speak the owner's side of the protocol.
class OwnerClipboardTest : public ::testing::Test {
 protected:
  // An owner whose script `body` runs after it says `first`.
  std::string owner(const std::string& first, const std::string& body) {
    const fs::path path = dir_ / "nembit-clipboard-owner";
    std::ofstream(path) << "#!/bin/sh\necho '" << first << "'\n" << body << "\n";
    fs::permissions(path, fs::perms::owner_all);
    return path.string();
  }
  // Takes each text and keeps it in "texts", one per line.
  std::string keeping_owner() {
    return owner("ready", R"(while read n; do head -c "$n" >> "$0.texts"; echo >> "$0.texts"
      echo ok; done)");
  }
  std::string texts() {
    std::ifstream in(dir_ / "nembit-clipboard-owner.texts");
    return {std::istreambuf_iterator<char>(in), {}};
  }
  static std::string failure(Clipboard& clipboard, std::string_view text) {
    try {
      clipboard.copy(text);
    } catch (const Error& error) {
      return error.what();
    }
    return "no error";
  }

  ScratchDir scratch_{"owner-test-"};
  const fs::path& dir_ = scratch_.path();
  std::vector<std::string> fallback_copies_;
};

TEST_F(OwnerClipboardTest, HandsEachTextToOneOwner) {
  OwnerClipboard clipboard(keeping_owner(), nullptr);
  clipboard.copy("/home/u/caf\u00e9");
  clipboard.copy("two\nlines");
  clipboard.copy("");
  EXPECT_EQ(texts(), "/home/u/caf\u00e9\ntwo\nlines\n\n");
}

TEST_F(OwnerClipboardTest, LeavesADisplayItCannotReachToTheTool) {
  const std::string unreachable = owner("error cannot open the display: :99", "");
  OwnerClipboard clipboard(unreachable, std::make_unique<FakeTool>(fallback_copies_));
  clipboard.copy("a");
  clipboard.copy("b");
  EXPECT_THAT(fallback_copies_, ElementsAre("a", "b"));
  OwnerClipboard alone(unreachable, nullptr);
  EXPECT_EQ(failure(alone, "a"), "nembit-clipboard-owner: cannot open the display: :99");
  OwnerClipboard missing((dir_ / "gone").string(), std::make_unique<FakeTool>(fallback_copies_));
  missing.copy("c");
  EXPECT_THAT(fallback_copies_, ElementsAre("a", "b", "c"));
}

TEST_F(OwnerClipboardTest, FailsAtOnceAfterItsOwnerHasGoneOrStalled) {
  OwnerClipboard dying(owner("ready", "read n; exit 0"), nullptr);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(failure(dying, "x"), "nembit-clipboard-owner: ended before it confirmed the copy");
  }
  OwnerClipboard stalled(owner("ready", "sleep 30"), nullptr, 200ms);
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(failure(stalled, "x"), "nembit-clipboard-owner: timed out after 200 ms");
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
}

TEST_F(OwnerClipboardTest, SpendsAtMostItsBudgetOnASlowOwner) {
  // Two slow copies spend most of the budget; the third hangs, and is given
  // only what is left of it, far less than its own limit.
  OwnerClipboard clipboard(owner("ready", R"sh(while read n; do head -c "$n" >> "$0.texts"
    echo >> "$0.texts"; [ "$(wc -l < "$0.texts")" -ge 3 ] && exec sleep 30
    sleep 0.05; echo ok; done)sh"),
                           nullptr, 10s, 1s);
  clipboard.copy("1");
  clipboard.copy("2");
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(failure(clipboard, "x"),
              "nembit-clipboard-owner has used up the 1000 ms that its calls may take in one run");
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
  EXPECT_EQ(texts(), "1\n2\nx\n");
  EXPECT_THAT(fallback_copies_, IsEmpty());
}

}  // namespace
}  // namespace nembit::clipboard
