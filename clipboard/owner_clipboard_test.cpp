#include "clipboard/owner_clipboard.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <thread>

#include "clipboard/owner/owner_socket.h"
#include "common/stop_signals.h"
#include "nembit/interrupted.h"
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
  // An owner whose script `body` runs after it says `first`, if anything.
  std::string owner(const std::string& first, const std::string& body) {
    const fs::path folder = dir_ / std::to_string(++owners_);
    fs::create_directory(folder);
    const fs::path path = folder / "nembit-clipboard-owner";
    std::ofstream(path) << "#!/bin/sh\n"
                        << (first.empty() ? "" : "echo '" + first + "'\n") << body << "\n";
    fs::permissions(path, fs::perms::owner_all);
    return path.string();
  }
  // Takes each text and keeps it in "texts", one per line.
  std::string keeping_owner() {
    return owner("ready", R"(while read n; do head -c "$n" >> "$0.texts"; echo >> "$0.texts"
      echo ok; done)");
  }
  std::string texts() {
    std::ifstream in(dir_ / std::to_string(owners_) / "nembit-clipboard-owner.texts");
    return {std::istreambuf_iterator<char>(in), {}};
  }
  // What copying `text`, and waiting until it is the selection, throws.
  static std::string failure(Clipboard& clipboard, std::string_view text) {
    try {
      clipboard.copy(text);
      clipboard.flush();
    } catch (const Error& error) {
      return error.what();
    }
    return "no error";
  }

  // The processes that this test process started and has not reaped.
  static std::set<std::string> children() {
    const std::string self = std::to_string(::getpid());
    std::ifstream in("/proc/" + self + "/task/" + self + "/children");
    return {std::istream_iterator<std::string>(in), {}};
  }
  // Those of them that this test started.
  std::set<std::string> new_children() const {
    std::set<std::string> started;
    std::ranges::set_difference(children(), children_before_,
                                std::inserter(started, started.begin()));
    return started;
  }

  ScratchDir scratch_{"owner-test-"};
  const fs::path& dir_ = scratch_.path();
  int owners_ = 0;
  std::vector<std::string> fallback_copies_;
  std::set<std::string> children_before_ = children();
};

TEST_F(OwnerClipboardTest, HandsEachTextToOneOwner) {
  OwnerClipboard clipboard(keeping_owner(), nullptr);
  clipboard.copy("/home/u/caf\u00e9");
  clipboard.copy("two\nlines");
  clipboard.copy("");
  clipboard.flush();
  EXPECT_EQ(texts(), "/home/u/caf\u00e9\ntwo\nlines\n\n");
}

TEST_F(OwnerClipboardTest, WaitsForAnOwnerThatAwaitsTheRunOnlyAtTheEnd) {
  const std::string socket = (dir_ / "owner.socket").string();
  EXPECT_FALSE(OwnerClipboard(keeping_owner(), nullptr, socket).at_once());  // Nobody awaits it.
  sockaddr_un address{};
  ASSERT_TRUE(owner::owner_socket_address(socket.c_str(), address));
  const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(listener, 1), 0);
  OwnerClipboard clipboard(keeping_owner(), nullptr, socket, 2s);
  EXPECT_TRUE(clipboard.at_once());
  // An owner that answers no text before it has two: the copies must go on
  // without its answers, and the newest must go out at the end.
  std::string got;
  std::thread awaiting([&] {
    const int run = ::accept(listener, nullptr, nullptr);
    ASSERT_EQ(::write(run, "ready\n", 6), 6);
    char buffer[64];
    for (ssize_t n = 1; got.size() < 7 && n > 0; got.append(buffer, std::max<ssize_t>(n, 0))) {
      n = ::read(run, buffer, sizeof buffer);
    }
    ASSERT_EQ(::write(run, "ok\nok\n", 6), 6);
    ::close(run);
  });
  for (int i = 1; i < 20; ++i) clipboard.copy(std::to_string(i));
  EXPECT_EQ(failure(clipboard, "20"), "no error");
  awaiting.join();
  EXPECT_EQ(got, "1\n12\n20");  // Sized texts: the first, and the newest.
  EXPECT_EQ(texts(), "");       // No owner was started.
  // Without a flush, the newest goes out as the clipboard goes.
  got.clear();
  std::thread unflushed([&] {
    const int run = ::accept(listener, nullptr, nullptr);
    ASSERT_EQ(::write(run, "ready\n", 6), 6);  // And no answer.
    char buffer[64];
    for (ssize_t n = 1; n > 0; got.append(buffer, std::max<ssize_t>(n, 0))) {
      n = ::read(run, buffer, sizeof buffer);
    }
    ::close(run);
  });
  {
    OwnerClipboard clipboard_not_flushed(keeping_owner(), nullptr, socket, 2s);
    clipboard_not_flushed.copy("a");
    clipboard_not_flushed.copy("b");
  }
  unflushed.join();
  EXPECT_EQ(got, "1\na1\nb");
  // One that answers each text: the run looks for its answers as it goes,
  // and a text goes out as soon as the one before is answered.
  got.clear();
  std::atomic<int> answered = 0;
  std::thread answering([&] {
    const int run = ::accept(listener, nullptr, nullptr);
    ASSERT_EQ(::write(run, "ready\n", 6), 6);
    char buffer[3];  // One one-byte text.
    while (::read(run, buffer, sizeof buffer) == 3) {
      got.append(buffer, 3);
      ASSERT_EQ(::write(run, "ok\n", 3), 3);
      ++answered;
    }
    ::close(run);
  });
  {
    OwnerClipboard answered_clipboard(keeping_owner(), nullptr, socket, 2s);
    for (const char* text : {"a", "b", "c"}) {
      const int before = answered;
      answered_clipboard.copy(text);
      for (int i = 0; i < 5000 && answered == before; ++i) std::this_thread::sleep_for(1ms);
      std::this_thread::sleep_for(5ms);  // Past the time of the run's next look.
    }
  }
  answering.join();
  EXPECT_EQ(got, "1\na1\nb1\nc");
  // One that ends before it is ready leaves the run to an owner of its own.
  std::thread ending([&] { ::close(::accept(listener, nullptr, nullptr)); });
  OwnerClipboard left(keeping_owner(), nullptr, socket, 2s);
  EXPECT_EQ(failure(left, "x"), "no error");
  ending.join();
  ::close(listener);
  EXPECT_EQ(texts(), "x\n");
}

TEST_F(OwnerClipboardTest, LeavesADisplayItCannotServeToTheTool) {
  const std::string unreachable = owner("error cannot open the display: :99", "sleep 30");
  OwnerClipboard clipboard(unreachable, std::make_unique<FakeTool>(fallback_copies_));
  clipboard.copy("a");
  clipboard.copy("b");
  EXPECT_THAT(fallback_copies_, ElementsAre("a", "b"));
  OwnerClipboard alone(unreachable, nullptr);
  EXPECT_EQ(failure(alone, "a"), "nembit-clipboard-owner: cannot open the display: :99");
  // Missing, or ending before it is ready, as without its library.
  for (const std::string& path : {(dir_ / "gone").string(), owner("", "exit 127")}) {
    OwnerClipboard cannot_run(path, std::make_unique<FakeTool>(fallback_copies_));
    cannot_run.copy("c");
  }
  EXPECT_THAT(fallback_copies_, ElementsAre("a", "b", "c", "c"));
  EXPECT_THAT(new_children(), IsEmpty());  // Each owner that gave up was killed and reaped.
}

TEST_F(OwnerClipboardTest, FailsAtOnceAfterItsOwnerHasGoneOrStalled) {
  OwnerClipboard dying(owner("ready", R"(echo >> "$0.starts"; read n; exit 0)"), nullptr);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(failure(dying, "x"), "nembit-clipboard-owner: ended before it confirmed the copy");
  }
  std::ifstream starts(dir_ / "1/nembit-clipboard-owner.starts");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(starts), {}), "\n");  // Not started again.
  OwnerClipboard stalled(owner("ready", R"(sleep 30 & echo $! > "$0.pid"; wait)"), nullptr, {},
                         200ms);
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(failure(stalled, "x"), "nembit-clipboard-owner: timed out after 200 ms");
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
  // One that served a copy, and so would outlive the clipboard, stalls too.
  OwnerClipboard served(owner("ready", R"(read n; head -c "$n" >/dev/null; echo ok
    sleep 30 & echo $! > "$0.pid"; wait)"),
                        nullptr, {}, 200ms);
  EXPECT_EQ(failure(served, "x"), "no error");
  EXPECT_EQ(failure(served, "y"), "nembit-clipboard-owner: timed out after 200 ms");
  // The owners were reaped, and each sleep went with its owner's group.
  EXPECT_THAT(new_children(), IsEmpty());
  for (const char* folder : {"2", "3"}) {
    std::ifstream pid_file(dir_ / folder / "nembit-clipboard-owner.pid");
    std::string pid;
    pid_file >> pid;
    // Killed, it may take a moment to end: it is not this process's child.
    const auto has_ended = [&] {
      std::ifstream stat("/proc/" + pid + "/stat");
      std::string fields[3];
      stat >> fields[0] >> fields[1] >> fields[2];
      return !stat || fields[2] == "Z";
    };
    for (int i = 0; i < 100 && !has_ended(); ++i) std::this_thread::sleep_for(50ms);
    EXPECT_TRUE(has_ended()) << "the owner's child " << pid << " still runs";
  }
  // One that never says it is ready times out, and is no reason for the tool.
  OwnerClipboard silent(owner("", "exec sleep 30"), std::make_unique<FakeTool>(fallback_copies_),
                        "", 200ms);
  EXPECT_EQ(failure(silent, "x"), "nembit-clipboard-owner: timed out after 200 ms");
  EXPECT_THAT(fallback_copies_, IsEmpty());
}

TEST_F(OwnerClipboardTest, KeepsAnOwnerThatRefusesACopy) {
  OwnerClipboard clipboard(owner("ready", R"(echo >> "$0.starts"
    while read n; do head -c "$n" >/dev/null; echo "error busy"; done)"),
                           nullptr);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(failure(clipboard, "x"), "nembit-clipboard-owner: busy");
  std::ifstream starts(dir_ / "1/nembit-clipboard-owner.starts");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(starts), {}), "\n");
}

TEST_F(OwnerClipboardTest, EndsAnOwnerThatAStopInterrupted) {
  // On a thread that blocks every signal, as a library's host may have one:
  // the stop reaches another thread, and the copy sees it at its next look.
  OwnerClipboard clipboard(owner("ready", "exec sleep 30"), nullptr, {}, 10s);
  const StopSignalScope stop_scope;
  bool interrupted = false;
  std::thread copying([&] {
    sigset_t all;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, nullptr);
    try {
      clipboard.copy("x");
      clipboard.flush();
    } catch (const Interrupted&) {
      interrupted = true;
    }
  });
  std::this_thread::sleep_for(200ms);
  const auto start = std::chrono::steady_clock::now();
  ::kill(::getpid(), SIGUSR1);
  copying.join();
  EXPECT_TRUE(interrupted);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
  EXPECT_THAT(new_children(), IsEmpty());  // The owner, which held nothing, went with the copy.
}

TEST_F(OwnerClipboardTest, TakesCopiesFromSeveralThreadsInTurn) {
  OwnerClipboard clipboard(keeping_owner(), nullptr);
  const auto copy_many = [&] {
    for (int i = 0; i < 50; ++i) clipboard.copy("x");
  };
  std::thread first(copy_many);
  std::thread second(copy_many);
  first.join();
  second.join();
  clipboard.flush();
  std::string expected;
  for (int i = 0; i < 100; ++i) expected += "x\n";
  EXPECT_EQ(texts(), expected);
}

}  // namespace
}  // namespace nembit::clipboard
