// Calls to something outside that takes them at its own pace (a clipboard
// tool or owner, the desktop's notification service): one at a time, on a
// thread of their own, the newest first, so that a run never waits for them
// but for the last one.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "common/run_clock.h"

namespace nembit {

/// Runs deliveries on a worker thread of its own, one at a time. One handed
/// over while another runs waits, and a newer one takes the place of one
/// that waits: the first and the newest always go out, as soon as whoever
/// takes them is ready, and the caller never waits but in finish(). A delivery must not
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

  /// Waits until every delivery handed over has run or been replaced, or
  /// until `deadline` on the run clock; false when the deadline came first,
  /// and the deliveries go on without the caller. A stop signal noted
  /// meanwhile drops the one that waits; Interrupted is thrown once the one
  /// under way has ended.
  bool finish(RunClock::time_point deadline = RunClock::time_point::max());

 private:
  /// Runs `first`, then each delivery that waits, until closing.
  void work(const Delivery& first);
  /// Waits until no delivery runs and, unless a stop came, none waits, or
  /// until `deadline`; the stop signal, or 0, with `settled` telling which.
  int settle(std::unique_lock<std::mutex>& lock, RunClock::time_point deadline, bool& settled);

  std::mutex mutex_;
  std::condition_variable changed_;
  Delivery waiting_;
  bool busy_ = false;
  bool closing_ = false;
  std::thread worker_;
};

}  // namespace nembit
