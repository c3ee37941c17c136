#include <windows.h>

#include <csignal>

#include "common/stop_signal_handlers.h"
#include "common/stop_signals.h"

namespace nembit {

namespace {

// Runs on a thread of its own when Ctrl-C or Ctrl-Break is pressed in the
// console; the run then stops at its next safe point.
BOOL WINAPI note_console_event(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  note_stop_signal(event == CTRL_C_EVENT ? SIGINT : SIGBREAK);
  return TRUE;
}

}  // namespace

void install_stop_signal_handlers() { ::SetConsoleCtrlHandler(note_console_event, TRUE); }

void restore_stop_signal_handlers() { ::SetConsoleCtrlHandler(note_console_event, FALSE); }

void end_by_signal(int signal) {
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

}  // namespace nembit
