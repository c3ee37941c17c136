#include "common/stop_signals.h"

#include <atomic>
#include <mutex>

#include "common/stop_signal_handlers.h"

namespace nembit {

namespace {

// Written by the handlers, so lock-free; read from any thread.
std::atomic<int> noted_signal{0};
static_assert(std::atomic<int>::is_always_lock_free);
std::atomic<int> open_scopes{0};
std::mutex scopes_mutex;

}  // namespace

void note_stop_signal(int signal) noexcept {
  int none = 0;
  noted_signal.compare_exchange_strong(none, signal);
}

StopSignalScope::StopSignalScope() {
  const std::lock_guard lock(scopes_mutex);
  if (open_scopes.load() == 0) {
    noted_signal = 0;
    install_stop_signal_handlers();
  }
  ++open_scopes;
}

StopSignalScope::~StopSignalScope() {
  const std::lock_guard lock(scopes_mutex);
  if (--open_scopes == 0) restore_stop_signal_handlers();
}

int stop_signal() { return open_scopes.load() > 0 ? noted_signal.load() : 0; }

void throw_if_stopped() {
  if (const int signal = stop_signal()) throw Interrupted{signal};
}

}  // namespace nembit
