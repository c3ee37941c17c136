#include <array>
#include <csignal>

#include "common/stop_signal_handlers.h"
#include "common/stop_signals.h"

namespace nembit {

namespace {

constexpr std::array<int, 7> kStopSignals = {SIGINT,  SIGTERM, SIGHUP, SIGQUIT,
                                             SIGUSR1, SIGUSR2, SIGALRM};
std::array<struct sigaction, kStopSignals.size()> previous_actions{};

void handle(int signal) { note_stop_signal(signal); }

}  // namespace

void install_stop_signal_handlers() {
  struct sigaction note {};
  note.sa_handler = handle;
  note.sa_flags = SA_RESTART;
  sigemptyset(&note.sa_mask);
  for (size_t i = 0; i < kStopSignals.size(); ++i) {
    ::sigaction(kStopSignals[i], nullptr, &previous_actions[i]);
    if (previous_actions[i].sa_handler != SIG_IGN) ::sigaction(kStopSignals[i], &note, nullptr);
  }
}

void restore_stop_signal_handlers() {
  for (size_t i = 0; i < kStopSignals.size(); ++i) {
    ::sigaction(kStopSignals[i], &previous_actions[i], nullptr);
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
