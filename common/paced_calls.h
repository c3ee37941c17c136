// The calls of one component to something outside (the clipboard, the
// desktop's notification service), made at its pace by a PacedDelivery, and
// what their failures and the run's time budget mean for the calls after.
#pragma once

#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "common/paced_delivery.h"
#include "common/time_budget.h"
#include "nembit/interrupted.h"

namespace nembit {

/// The calls of one component, paced by a PacedDelivery. Each call keeps to
/// its own time limit; the run's waits for them in finish() spend a
/// TimeBudget, while the time a call takes as the run goes on costs the run
/// nothing. The component is open at first, and then:
///  - a call that throws TimeoutError ends it;
///  - with `end_on_failure`, so does a call that throws Error otherwise;
///  - once the budget is spent, later calls wait, the newest replacing the
///    one before, and the newest gets its own attempt at the next finish(),
///    which ends the component.
/// Each failure is said once, by the next submit() or by finish(). Once the
/// component has ended, later calls are dropped without a word; after a
/// failure that does not end it, they go on. A call that a newer one
/// replaced before it ran is no failure. A stop signal that a call saw is
/// thrown as Interrupted by every later submit() and finish().
template <typename Error, typename TimeoutError>
class PacedCalls {
 public:
  /// `who` names what is called, as in "the clipboard".
  PacedCalls(std::string_view who, bool end_on_failure,
             std::chrono::milliseconds budget = kRunBudget)
      : end_on_failure_(end_on_failure), budget_(who, budget) {}
  PacedCalls(const PacedCalls&) = delete;
  PacedCalls& operator=(const PacedCalls&) = delete;
  /// Lets a call that waits for its own attempt have it, as the delivery
  /// lets the one that waits run.
  ~PacedCalls() {
    if (std::function<void()> last = take_last()) hand_over(std::move(last));
  }

  /// Hands `call` over, in place of one that waits, unless the component
  /// has ended; then throws a failure of the calls before it, not yet said.
  void submit(std::function<void()> call) {
    std::unique_lock lock(mutex_);
    if (stop_signal_ != 0) throw Interrupted{stop_signal_};
    std::optional<Failure> failure = std::exchange(failure_, std::nullopt);
    const State state = state_;
    if (state == State::kSpent) last_ = std::move(call);
    lock.unlock();
    if (state == State::kOpen) hand_over(std::move(call));
    throw_if(std::move(failure));
  }

  /// Waits until the last call handed over has run (each within its own
  /// limit), and then a call that waited for its own attempt; throws a
  /// failure not yet said, a spent budget among them.
  void finish() {
    budget_.spend_on([this] { delivery_.finish(); });
    if (std::string spent = budget_.refusal(); !spent.empty()) {
      const std::lock_guard lock(mutex_);
      if (state_ == State::kOpen) {
        state_ = State::kSpent;
        failure_ = Failure{.message = std::move(spent), .timed_out = true};
      }
    }
    if (std::function<void()> last = take_last()) {
      hand_over(std::move(last));
      delivery_.finish();
      const std::lock_guard lock(mutex_);
      state_ = State::kEnded;
    }
    std::unique_lock lock(mutex_);
    if (stop_signal_ != 0) throw Interrupted{stop_signal_};
    std::optional<Failure> failure = std::exchange(failure_, std::nullopt);
    lock.unlock();
    throw_if(std::move(failure));
  }

 private:
  /// What the component's calls may still do.
  enum class State {
    kOpen,   ///< Each call goes out.
    kSpent,  ///< The budget is spent: the newest call waits for its own attempt.
    kEnded,  ///< No call goes out any more.
  };

  /// What a call that failed found, until it is said.
  struct Failure {
    std::string message;
    bool timed_out = false;
  };

  void hand_over(std::function<void()> call) {
    delivery_.submit([this, call = std::move(call)] { run(call); });
  }

  // The call that waits for its own attempt, if any.
  std::function<void()> take_last() {
    const std::lock_guard lock(mutex_);
    return std::exchange(last_, nullptr);
  }

  void run(const std::function<void()>& call) {
    {
      const std::lock_guard lock(mutex_);
      if (state_ == State::kEnded || stop_signal_ != 0) return;
    }
    try {
      call();
    } catch (const TimeoutError& error) {
      end_with({.message = error.what(), .timed_out = true});
    } catch (const Error& error) {
      if (end_on_failure_) {
        end_with({.message = error.what(), .timed_out = false});
      } else {
        const std::lock_guard lock(mutex_);
        failure_ = Failure{.message = error.what(), .timed_out = false};
      }
    } catch (const Interrupted& stop) {
      const std::lock_guard lock(mutex_);
      stop_signal_ = stop.signal;
    }
  }

  // Ends the component with `failure`, said once; the mutex is not held.
  void end_with(Failure failure) {
    const std::lock_guard lock(mutex_);
    if (state_ != State::kEnded) failure_ = std::move(failure);
    state_ = State::kEnded;
  }

  // Throws `failure`, unless there is none.
  static void throw_if(std::optional<Failure> failure) {
    if (!failure) return;
    if (failure->timed_out) throw TimeoutError(failure->message);
    throw Error(failure->message);
  }

  const bool end_on_failure_;
  std::mutex mutex_;
  TimeBudget budget_;
  State state_ = State::kOpen;
  std::optional<Failure> failure_;  ///< Not yet said.
  std::function<void()> last_;      ///< While spent, the newest call, for its own attempt.
  int stop_signal_ = 0;             ///< The stop signal that a call saw, or 0.
  PacedDelivery delivery_;          ///< Last, so that it ends before what its calls use.
};

}  // namespace nembit
