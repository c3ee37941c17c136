// A time budget for all the calls that a component makes to something
// outside in one run, so that a service that is slow but not stalled costs
// a bounded time in all, however many files a run creates.
#pragma once

#include <algorithm>
#include <chrono>
#include <string>
#include <string_view>
#include <utility>

namespace nembit {

/// The time left for a run's calls. Each call may take its own limit, but
/// no more than is left; what it took is then spent, also when it failed.
/// Once nothing is left, or once a call has stopped the rest (after a
/// time-out, say), every later call fails at once.
class TimeBudget {
 public:
  using Clock = std::chrono::steady_clock;

  /// `who` names what is called, as in "the GNTP server".
  TimeBudget(std::chrono::milliseconds total, std::string_view who)
      : left_(total),
        spent_error_(std::string(who) + " has used up the " + std::to_string(total.count()) +
                     " ms that its calls may take in one run") {}

  /// Whether nothing is left for another call.
  bool spent() const { return left_ <= Clock::duration::zero(); }

  /// Empty while calls may go on; otherwise the error that every later call
  /// fails with at once: the one that stopped them, or the spent budget's.
  std::string_view stopped() const {
    if (!stopped_.empty()) return stopped_;
    return spent() ? std::string_view(spent_error_) : std::string_view();
  }

  /// Makes every later call fail at once with `error`.
  void stop(std::string error) { stopped_ = std::move(error); }

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
  std::string spent_error_;
  std::string stopped_;
};

}  // namespace nembit
