#include "common/paced_delivery.h"

#include <utility>

#include "common/stop_signals.h"

namespace nembit {

PacedDelivery::~PacedDelivery() {
  std::unique_lock lock(mutex_);
  if (!worker_.joinable()) return;
  bool settled = false;
  settle(lock, RunClock::time_point::max(), settled);
  closing_ = true;
  changed_.notify_all();
  lock.unlock();
  worker_.join();
}

void PacedDelivery::submit(Delivery delivery) {
  const std::lock_guard lock(mutex_);
  if (!worker_.joinable()) {
    // The first is under way at once: no newer one takes its place while
    // the worker starts.
    busy_ = true;
    worker_ = std::thread([this, first = std::move(delivery)] { work(first); });
    return;
  }
  waiting_ = std::move(delivery);
  changed_.notify_all();
}

bool PacedDelivery::finish(RunClock::time_point deadline) {
  const StopSignalScope stop_scope;
  std::unique_lock lock(mutex_);
  bool settled = false;
  if (const int signal = settle(lock, deadline, settled); signal != 0) throw Interrupted{signal};
  return settled;
}

int PacedDelivery::settle(std::unique_lock<std::mutex>& lock, RunClock::time_point deadline,
                          bool& settled) {
  // The worker wakes this at every end of a delivery; a stop is looked for
  // between, as often as every wait for something outside does.
  for (;;) {
    const int signal = stop_signal();
    if (signal != 0) waiting_ = nullptr;
    settled = !busy_ && !waiting_;
    if (settled) return signal;
    const std::chrono::milliseconds slice = wait_slice(deadline);
    if (slice.count() <= 0) return signal;
    changed_.wait_for(lock, slice);
  }
}

void PacedDelivery::work(const Delivery& first) {
  first();
  std::unique_lock lock(mutex_);
  busy_ = false;
  changed_.notify_all();
  for (;;) {
    changed_.wait(lock, [&] { return waiting_ || closing_; });
    if (!waiting_) return;
    const Delivery delivery = std::exchange(waiting_, nullptr);
    busy_ = true;
    lock.unlock();
    delivery();
    lock.lock();
    busy_ = false;
    changed_.notify_all();
  }
}

}  // namespace nembit
