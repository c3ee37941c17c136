// How a run that the user stopped leaves the library.
#pragma once

namespace nembit {

/// Thrown through every caller when the process is asked to stop (SIGINT,
/// SIGTERM, SIGHUP and the other signals that end a process by default)
/// while nembit notes such signals: during a clipboard copy, or for the
/// whole of nembit::run. What was under way (a clipboard tool, a request to
/// the notification service) has been stopped by then. It is no
/// std::exception, so that no error handler takes it for a failure;
/// nembit::run ends the process with the signal.
struct Interrupted {
  int signal = 0;
};

}  // namespace nembit
