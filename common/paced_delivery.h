// Calls to something outside that takes them at its own pace (a clipboard
// tool or owner, the desktop's notification service): one at a time, on a
// thread of their own, the newest first, so that a run never waits for them
// but for the last one.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

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
/// failures mean for the rest of the run. A call that throws TimeoutError
/// (its own limit, or the component's time budget, was spent) refuses every
/// later one at once with the same error, as the budget does. With
/// `end_on_failure`, a call that throws Error otherwise ends the component
/// for the run: later calls are dropped without a word. Each failure is
/// thrown once, by the next submit() or by finish(); a call that a newer one
/// replaced before it ran is no failure. A stop signal that a call saw is
/// thrown as Interrupted by every later submit().
template <typename Error, typename TimeoutError>
class PacedCalls {
 public:
  explicit PacedCalls(bool end_on_failure) : end_on_failure_(end_on_failure) {}

  /// Throws a failure not yet thrown, or the refusal after a time-out;
  /// otherwise hands `call` over, in place of one that waits, and returns.
  void submit(std::function<void()> call) {
    {
      const std::lock_guard lock(mutex_);
      throw_failure();
      if (!refusal_.empty()) throw TimeoutError(refusal_);
      if (ended_) return;
    }
    delivery_.submit([this, call = std::move(call)] { run(call); });
  }

  /// Waits until the last call handed over has run (each call keeps to its
  /// own limits), then throws its failure, or one not yet thrown.
  void finish() {
    delivery_.finish();
    const std::lock_guard lock(mutex_);
    throw_failure();
  }

 private:
  void run(const std::function<void()>& call) {
    {
      const std::lock_guard lock(mutex_);
      if (ended_ || stopped_ != 0 || !refusal_.empty()) return;
    }
    try {
      call();
    } catch (const TimeoutError& error) {
      const std::lock_guard lock(mutex_);
      refusal_ = error.what();
      failure_ = {error.what(), true};
    } catch (const Error& error) {
      const std::lock_guard lock(mutex_);
      ended_ = end_on_failure_;
      failure_ = {error.what(), false};
    } catch (const Interrupted& stop) {
      const std::lock_guard lock(mutex_);
      stopped_ = stop.signal;
    }
  }

  // Throws what a call found, once; the mutex is held.
  void throw_failure() {
    if (stopped_ != 0) throw Interrupted{stopped_};
    if (failure_.first.empty()) return;
    auto [message, timed_out] = std::exchange(failure_, {});
    if (timed_out) throw TimeoutError(message);
    throw Error(message);
  }

  const bool end_on_failure_;
  std::mutex mutex_;
  std::pair<std::string, bool> failure_;  ///< Not yet thrown, and whether it timed out.
  std::string refusal_;                   ///< Once a call has timed out, its error.
  bool ended_ = false;
  int stopped_ = 0;
  PacedDelivery delivery_;  ///< Last, so that it ends before what its calls use.
};

}  // namespace nembit
