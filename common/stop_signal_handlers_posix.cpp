#include <array>
#include <csignal>

#include "common/run_clock.h"
#include "common/stop_signal_handlers.h"
#include "common/stop_signals.h"

namespace nembit {

namespace {

// The stop signals, then SIGCONT, which tells the run clock of a stop.
constexpr std::array<int, 8> kSignals = {SIGINT,  SIGTERM, SIGHUP,  SIGQUIT,
                                         SIGUSR1, SIGUSR2, SIGALRM, SIGCONT};
std::array<struct sigaction, kSignals.size()> previous_actions{};

void handle(int signal) {
  if (signal == SIGCONT) {
    note_continued();
  } else {
    note_stop_signal(signal);
  }
}

}  // namespace

void install_stop_signal_handlers() {
  // A stop signal interrupts a wait instead of resuming it, so that a write
  // to an output that nobody reads cannot hold the stop back.
  struct sigaction note {};
  note.sa_handler = handle;
  sigemptyset(&note.sa_mask);
  for (size_t i = 0; i < kSignals.size(); ++i) {
    ::sigaction(kSignals[i], nullptr, &previous_actions[i]);
    // A signal that the process ignores, or that a program which links
    // libnembit handles itself, is left as it is.
    if (previous_actions[i].sa_handler != SIG_DFL) continue;
    note.sa_flags = kSignals[i] == SIGCONT ? SA_RESTART : 0;
    ::sigaction(kSignals[i], &note, nullptr);
  }
}

void restore_stop_signal_handlers() {
  for (size_t i = 0; i < kSignals.size(); ++i) {
    ::sigaction(kSignals[i], &previous_actions[i], nullptr);
  }
}

void end_by_signal(int signal) {
  ::signal(signal, SIG_DFL);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, signal);
  ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
  ::raise(signal);
}

}  // namespace nembit
