// Calls to something outside that takes them at its own pace (a clipboard
// tool or owner, the desktop's notification service): one at a time, on a
// thread of their own, the newest first, so that a run never waits for them
// but for the last one.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>

#include "common/time_budget.h"
#include "nembit/interrupted.h"

namespace nembit {

/// Runs deliveries on a worker thread of its own, one at a time. One handed
/// over while another runs waits, and a newer one takes the place of one
/// that waits: the newest always goes out, as soon as whoever takes them is
/// ready, and the caller never waits but in finish(). A delivery must not
/// throw. Safe to use from several threads.
class PacedDelivery {
 public:
  using Delivery = std::function<void()>;

  PacedDelivery() = default;
  PacedDelivery(const PacedDelivery&) = delete;
  PacedDelivery& operator=(const PacedDelivery&) = delete;
  /// Lets the delivery that waits run too, unless a stop signal has been
  /// noted (see stop_signals.h), then ends the worker.
  ~PacedDelivery();

  /// Hands `delivery` over, in place of one that waits, and returns.
  void submit(Delivery delivery);

  /// Waits until every delivery handed over has run or been replaced. A stop
  /// signal noted meanwhile drops the one that waits; Interrupted is thrown
  /// once the one under way has ended.
  void finish();

 private:
  void work();
  /// Waits until no delivery runs and, unless a stop came, none waits;
  /// the stop signal, or 0.
  int settle(std::unique_lock<std::mutex>& lock);

  std::mutex mutex_;
  std::condition_variable changed_;
  Delivery waiting_;
  bool busy_ = false;
  bool closing_ = false;
  std::thread worker_;
};

/// The calls of one component, paced by a PacedDelivery, and what their
/// failures mean for the rest of the run. Each call keeps to its own time
/// limit; the run's waits for them in finish() spend a TimeBudget, while the
/// time a call takes as the run goes on costs the run nothing. Every stop
/// is said once, by the next submit() or by finish(), and lasts:
///  - a call that throws TimeoutError ends the component for the run;
///  - with `end_on_failure`, so does a call that throws Error otherwise;
///  - once the budget is spent, later calls wait, the newest replacing the
///    one before, and the newest gets its own attempt at the next finish(),
///    which ends the component.
/// Later calls are then dropped without a word; after a failure that does
/// not end the component, they go on. A call that a newer one replaced
/// before it ran is no failure. A stop signal that a call saw is thrown as
/// Interrupted by every later submit().
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
  /// has ended; then throws a stop that the calls before it found, not yet
  /// said.
  void submit(std::function<void()> call) {
    std::unique_lock lock(mutex_);
    if (stopped_ != 0) throw Interrupted{stopped_};
    std::pair<std::string, bool> failure = std::exchange(failure_, {});
    if (spent_ && !ended_) last_ = std::move(call);
    const bool go = !ended_ && !spent_;
    lock.unlock();
    if (go) hand_over(std::move(call));
    throw_if_failed(std::move(failure));
  }

  /// Waits until the last call handed over has run (each within its own
  /// limit), and then a call that waited for its own attempt; throws a stop
  /// not yet said, a spent budget among them.
  void finish() {
    budget_.spend_on([this] { delivery_.finish(); });
    if (std::string spent = budget_.refusal(); !spent.empty()) {
      const std::lock_guard lock(mutex_);
      if (!std::exchange(spent_, true) && !ended_) failure_ = {std::move(spent), true};
    }
    if (std::function<void()> last = take_last()) {
      hand_over(std::move(last));
      delivery_.finish();
      const std::lock_guard lock(mutex_);
      ended_ = true;
    }
    const std::lock_guard lock(mutex_);
    throw_failure();
  }

 private:
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
      if (ended_ || stopped_ != 0) return;
    }
    try {
      call();
    } catch (const TimeoutError& error) {
      end_with({error.what(), true});
    } catch (const Error& error) {
      if (end_on_failure_) {
        end_with({error.what(), false});
      } else {
        const std::lock_guard lock(mutex_);
        failure_ = {error.what(), false};
      }
    } catch (const Interrupted& stop) {
      const std::lock_guard lock(mutex_);
      stopped_ = stop.signal;
    }
  }

  // Ends the component with `failure`, said once; the mutex is not held.
  void end_with(std::pair<std::string, bool> failure) {
    const std::lock_guard lock(mutex_);
    if (!ended_) failure_ = std::move(failure);
    ended_ = true;
  }

  // Throws what a call found, once; the mutex is held.
  void throw_failure() {
    if (stopped_ != 0) throw Interrupted{stopped_};
    throw_if_failed(std::exchange(failure_, {}));
  }

  // Throws `failure`, a message and whether it timed out, unless it is none.
  static void throw_if_failed(std::pair<std::string, bool> failure) {
    if (failure.first.empty()) return;
    if (failure.second) throw TimeoutError(failure.first);
    throw Error(failure.first);
  }

  const bool end_on_failure_;
  std::mutex mutex_;
  TimeBudget budget_;
  std::pair<std::string, bool> failure_;  ///< Not yet said, and whether it timed out.
  bool ended_ = false;                    ///< No call goes out any more.
  bool spent_ = false;                    ///< The budget is spent.
  std::function<void()> last_;            ///< The newest call since, for its own attempt.
  int stopped_ = 0;
  PacedDelivery delivery_;  ///< Last, so that it ends before what its calls use.
};

}  // namespace nembit
