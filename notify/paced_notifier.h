// A notifier that sends notices at the service's pace.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "common/paced_calls.h"
#include "nembit/notifier.h"

namespace nembit::notify {

/// Registers through `notifier` at once, then hands each notice to it on a
/// thread of its own, one at a time, a newer notice taking the place of one
/// that has not begun, so that a run goes on while the service takes them
/// and its last notice always arrives. A notice that timed out ends the
/// notices for the run, one that failed otherwise does not, and what the run
/// waits for notices in flush() spends the time budget (see PacedCalls).
class PacedNotifier : public Notifier {
 public:
  explicit PacedNotifier(std::unique_ptr<Notifier> notifier) : notifier_(std::move(notifier)) {}

  void register_app() override { notifier_->register_app(); }
  void notify(const Note& note) override {
    calls_.submit([this, note] { notifier_->notify(note); });
  }
  void flush() override { calls_.finish(); }
  std::vector<std::string> warnings() const override { return notifier_->warnings(); }

 private:
  std::unique_ptr<Notifier> notifier_;
  PacedCalls<Error, TimeoutError> calls_{"the desktop notification service",
                                         /*end_on_failure=*/false};
};

}  // namespace nembit::notify
