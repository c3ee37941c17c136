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
/// TimeBudget, and each wait ends when the budget does, while the time a
/// call takes as the run goes on costs the run nothing. The component is
/// open at first, and then:
///  - a call that throws TimeoutError ends it;
///  - with `end_on_failure`, so does a call that throws Error otherwise;
///  - once the budget is spent, later calls wait, the newest replacing the
///    one before; the next finish() hands the newest over for its own
///    attempt, without waiting for it, and that ends the component.
/// Every failure is said, once: by the next submit() or finish(), which
/// throw the one that ended the component, or else the first, and tell how
/// many more came since. Once the component has ended, later calls are
/// dropped without a word; after a failure that does not end it, they go
/// on. A call that a newer one replaced before it ran is no failure. A stop
/// signal that a call saw is thrown as Interrupted by every later submit()
/// and finish().
template <typename Error, typename TimeoutError>
class PacedCalls {
 public:
  /// `who` names what is called, as in "the clipboard". With `here`, each
  /// call runs on the thread that hands it over, under the same rules: for
  /// calls that never wait for what they call, which a thread of their own
  /// would only slow down.
  PacedCalls(std::string_view who, bool end_on_failure,
             std::chrono::milliseconds budget = kRunBudget, bool here = false)
      : end_on_failure_(end_on_failure), here_(here), budget_(who, budget) {}
  PacedCalls(const PacedCalls&) = delete;
  PacedCalls& operator=(const PacedCalls&) = delete;
  /// Lets a call that waits for its own attempt have it, as the delivery
  /// lets the one that waits run.
  ~PacedCalls() { give_last_attempt(); }

  /// Hands `call` over, in place of one that waits, unless the component
  /// has ended; then throws what the calls before it found, not yet said.
  void submit(std::function<void()> call) {
    std::unique_lock lock(mutex_);
    if (stop_signal_ != 0) throw Interrupted{stop_signal_};
    std::optional<Failure> failure = std::exchange(failure_, std::nullopt);
    std::function<void()> open_call;
    if (state_ == State::kSpent) {
      last_ = std::move(call);
    } else if (state_ == State::kOpen) {
      open_call = std::move(call);
    }
    lock.unlock();
    if (open_call) hand_over(std::move(open_call), false);
    throw_if(std::move(failure));
  }

  /// Waits until the last call handed over has run (each within its own
  /// limit), and then `settle`, if any, as one more call of an open
  /// component (such as the wait for a text that the last call handed on),
  /// or until the budget is spent; then hands a call that waited for its own
  /// attempt over. Throws what the calls found, not yet said, a spent budget
  /// among them.
  void finish(std::function<void()> settle = {}) {
    budget_.spend_on([&](RunClock::time_point deadline) {
      if (!delivery_.finish(deadline) || !settle || !open()) return;
      hand_over(std::move(settle), false);
      delivery_.finish(deadline);
    });
    if (std::string spent = budget_.refusal(); !spent.empty()) {
      const std::lock_guard lock(mutex_);
      if (state_ == State::kOpen) {
        state_ = State::kSpent;
        note({.message = std::move(spent), .timed_out = true}, true);
      }
    }
    give_last_attempt();
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

  /// What failed calls found, until it is said.
  struct Failure {
    std::string message;
    bool timed_out = false;
    int more = 0;  ///< How many more failed since.
  };

  bool open() {
    const std::lock_guard lock(mutex_);
    return state_ == State::kOpen;
  }

  // Hands `call` over to run, as the component's rule allows then; an own
  // attempt runs although the component has ended.
  void hand_over(std::function<void()> call, bool own_attempt) {
    if (here_) {
      run(call, own_attempt);
      return;
    }
    delivery_.submit([this, call = std::move(call), own_attempt] { run(call, own_attempt); });
  }

  // Hands the call that waits for its own attempt over, if any, which ends
  // the component.
  void give_last_attempt() {
    std::function<void()> last;
    {
      const std::lock_guard lock(mutex_);
      last = std::exchange(last_, nullptr);
      if (!last || state_ != State::kSpent) return;
      state_ = State::kEnded;
    }
    hand_over(std::move(last), true);
  }

  void run(const std::function<void()>& call, bool own_attempt) {
    {
      const std::lock_guard lock(mutex_);
      if (stop_signal_ != 0 || (state_ == State::kEnded && !own_attempt)) return;
    }
    try {
      call();
    } catch (const TimeoutError& error) {
      failed({.message = error.what(), .timed_out = true}, true);
    } catch (const Error& error) {
      failed({.message = error.what(), .timed_out = false}, end_on_failure_);
    } catch (const Interrupted& stop) {
      const std::lock_guard lock(mutex_);
      stop_signal_ = stop.signal;
    }
  }

  // A call failed, which `ends` the component or not. Only what an open
  // component's calls find is said: a spent budget has been.
  void failed(Failure failure, bool ends) {
    const std::lock_guard lock(mutex_);
    if (state_ == State::kOpen) note(std::move(failure), ends);
    if (ends) state_ = State::kEnded;
  }

  // Keeps `failure` to be said, or counts it beside one kept already; one
  // that `ends` the component is the one said. The mutex is held.
  void note(Failure failure, bool ends) {
    if (!failure_) {
      failure_ = std::move(failure);
      return;
    }
    const int more = failure_->more + 1;
    if (ends) failure_ = std::move(failure);
    failure_->more = more;
  }

  // Throws `failure`, unless there is none.
  static void throw_if(std::optional<Failure> failure) {
    if (!failure) return;
    if (failure->more > 0) {
      failure->message += " (and " + std::to_string(failure->more) + " more failures)";
    }
    if (failure->timed_out) throw TimeoutError(failure->message);
    throw Error(failure->message);
  }

  const bool end_on_failure_;
  const bool here_;  ///< Calls run on the thread that hands them over.
  std::mutex mutex_;
  TimeBudget budget_;
  State state_ = State::kOpen;
  std::optional<Failure> failure_;  ///< Not yet said.
  std::function<void()> last_;      ///< While spent, the newest call, for its own attempt.
  int stop_signal_ = 0;             ///< The stop signal that a call saw, or 0.
  PacedDelivery delivery_;          ///< Last, so that it ends before what its calls use.
};

}  // namespace nembit
