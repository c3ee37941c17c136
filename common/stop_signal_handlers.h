// The platform's part of the stop signals (stop_signal_handlers_posix.cpp,
// stop_signal_handlers_win32.cpp): installing the handlers, which report
// what arrives to the portable part, and ending the process by a signal.
#pragma once

namespace nembit {

/// Installs the handlers of the stop signals, and of the continuing after a
/// stop of job control, remembering those they replace; only signals at
/// their default handling are taken: one that the process ignores stays
/// ignored, and one that the program handles itself stays its own.
void install_stop_signal_handlers();

/// Puts back the handlers that install_stop_signal_handlers replaced.
void restore_stop_signal_handlers();

/// What a handler calls with the signal that arrived; safe in a handler.
void note_stop_signal(int signal) noexcept;

/// Ends the process as `signal` ends it by default; returns only when the
/// signal does not end it.
void end_by_signal(int signal);

}  // namespace nembit
