// A time budget for all the calls that a component makes to something
// outside in one run, so that a service that is slow but not stalled costs
// a bounded time in all, however many files a run creates.
#pragma once

#include <algorithm>
#include <chrono>
#include <utility>

namespace nembit {

/// The time left for a run's calls. Each call may take its own limit, but
/// no more than is left; what it took is then spent, also when it failed.
class TimeBudget {
 public:
  using Clock = std::chrono::steady_clock;

  explicit TimeBudget(std::chrono::milliseconds total) : left_(total) {}

  /// Whether nothing is left for another call.
  bool spent() const { return left_ <= Clock::duration::zero(); }

  /// Runs `call` with the longest it may take: `limit`, or what is left when
  /// that is less.
  template <typename Call>
  decltype(auto) run(std::chrono::milliseconds limit, Call&& call) {
    const Clock::time_point start = Clock::now();
    const Spend spend{*this, start};
    return std::forward<Call>(call)(std::chrono::duration_cast<std::chrono::milliseconds>(
        std::min<Clock::duration>(limit, left_)));
  }

 private:
  // Spends the time since `start` when the call ends, however it ends.
  struct Spend {
    TimeBudget& budget;
    Clock::time_point start;
    ~Spend() { budget.left_ -= Clock::now() - start; }
  };

  Clock::duration left_;
};

}  // namespace nembit
