#include "common/stop_signals.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <barrier>
#include <csignal>
#include <thread>

#include "common/run_clock.h"

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

TEST(StopSignals, LeaveTheProgramsOwnHandlersInPlace) {
  static int handled = 0;
  ::signal(SIGUSR2, [](int) { ++handled; });
  {
    const StopSignalScope scope;
    ::raise(SIGUSR2);
    EXPECT_EQ(stop_signal(), 0);  // Not a stop: the program handles it.
  }
  EXPECT_EQ(handled, 1);
  ::signal(SIGUSR2, SIG_DFL);
}

TEST(RunClock, StandsStillWhileTheProcessIsStopped) {
  const StopSignalScope scope;
  const pid_t self = ::getpid();
  if (::fork() == 0) {  // Lets the process go on after 300 ms.
    ::usleep(300'000);
    ::kill(self, SIGCONT);
    ::_exit(0);
  }
  const auto steady = std::chrono::steady_clock::now();
  const RunClock::time_point run = RunClock::now();
  ::raise(SIGSTOP);
  EXPECT_GE(std::chrono::steady_clock::now() - steady, std::chrono::milliseconds(250));
  EXPECT_LT(RunClock::now() - run, std::chrono::milliseconds(100));
  ::wait(nullptr);
}

}  // namespace
}  // namespace nembit
