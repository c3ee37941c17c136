#include "common/stop_signals.h"

#include <gtest/gtest.h>

#include <barrier>
#include <csignal>
#include <thread>

namespace nembit {
namespace {

void (*current_handler(int signal))(int) {
  struct sigaction action {};
  ::sigaction(signal, nullptr, &action);
  return action.sa_handler;
}

TEST(StopSignals, AreNotedOnlyWhileAScopeIsOpen) {
  {
    const StopSignalScope outer;
    EXPECT_EQ(stop_signal(), 0);
    {
      const StopSignalScope inner;
      ::raise(SIGUSR1);
    }
    EXPECT_EQ(stop_signal(), SIGUSR1);  // The outer scope keeps it.
    EXPECT_THROW(throw_if_stopped(), Interrupted);
  }
  EXPECT_EQ(stop_signal(), 0);
  const StopSignalScope fresh;
  EXPECT_EQ(stop_signal(), 0);  // Forgotten when the first scope opens.
}

TEST(StopSignals, OverlappingScopesRestoreTheHandlersTheyFound) {
  ::signal(SIGINT, SIG_DFL);
  ::signal(SIGHUP, SIG_IGN);
  std::barrier both_open(2);
  const auto copy = [&] {
    const StopSignalScope scope;
    both_open.arrive_and_wait();
  };
  std::thread first(copy);
  std::thread second(copy);
  first.join();
  second.join();
  EXPECT_EQ(current_handler(SIGINT), SIG_DFL);
  EXPECT_EQ(current_handler(SIGHUP), SIG_IGN);  // Ignored, it stayed ignored all along.
  ::signal(SIGHUP, SIG_DFL);
}

}  // namespace
}  // namespace nembit
