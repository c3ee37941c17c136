// A time budget for all the calls that a component makes to something
// outside in one run, so that a service that is slow but not stalled costs
// a bounded time in all, however many files a run creates.
#pragma once

#include <algorithm>
#include <chrono>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>

#include "common/run_clock.h"
#include "common/time_limits.h"

namespace nembit {

/// The time left for what a run waits for a component, on the run clock:
/// its calls, where the run waits for each (see run()), or its waits for
/// calls under way elsewhere (see spend_on()). Each call may take its own
/// limit, but no more than is left; what it took is then spent, also when
/// it failed. Once nothing is left, or once a call has ended the rest
/// (after a time-out, say), every later call is refused at once, and
/// refusal() says why. Safe to share between threads.
class TimeBudget {
 public:
  /// `who` names what is called, as in "the GNTP server".
  explicit TimeBudget(std::string_view who, std::chrono::milliseconds total = kRunBudget)
      : left_(total),
        spent_refusal_(std::string(who) + " has used up the " + std::to_string(total.count()) +
                       " ms that its calls may take in one run") {}

  /// Runs `call` with the longest it may take, `limit` or what is left when
  /// that is less, and returns what it returns. Throws Error with the reason
  /// instead, without calling, once calls may no longer run.
  template <typename Error, typename Call>
  decltype(auto) run(std::chrono::milliseconds limit, Call&& call) {
    std::chrono::milliseconds allowed{};
    {
      const std::lock_guard lock(mutex_);
      if (const std::string_view why = current_refusal(); !why.empty()) {
        throw Error(std::string(why));
      }
      allowed = std::chrono::duration_cast<std::chrono::milliseconds>(
          std::min<RunClock::duration>(limit, left_));
      cut_short_ = allowed < limit;
    }
    const Spend spend{*this, RunClock::now()};
    return std::forward<Call>(call)(allowed);
  }

  /// Runs `wait`, in which the run waits for calls under way elsewhere until
  /// the deadline it is given, when what is left runs out, and spends the
  /// time it takes.
  template <typename Wait>
  void spend_on(Wait&& wait) {
    RunClock::duration allowed{};
    {
      const std::lock_guard lock(mutex_);
      allowed = std::max(left_, RunClock::duration::zero());
    }
    const Spend spend{*this, RunClock::now()};
    std::forward<Wait>(wait)(spend.start + allowed);
  }

  /// Why calls may no longer run; empty while they may.
  std::string refusal() {
    const std::lock_guard lock(mutex_);
    return std::string(current_refusal());
  }

  /// The error of a call that ran out of its time, which every later call is
  /// then refused with: `own`, or the spent budget's refusal when the budget
  /// had cut the call short.
  std::string time_out(std::string own) {
    const std::lock_guard lock(mutex_);
    refusal_ = cut_short_ ? spent_refusal_ : std::move(own);
    return refusal_;
  }

 private:
  // Spends the time since `start` when the call ends, however it ends.
  struct Spend {
    TimeBudget& budget;
    RunClock::time_point start;
    ~Spend() {
      const RunClock::duration took = RunClock::now() - start;
      const std::lock_guard lock(budget.mutex_);
      budget.left_ -= took;
    }
  };

  // Why calls are refused; empty while they may go on.
  std::string_view current_refusal() const {
    if (!refusal_.empty()) return refusal_;
    return left_ <= RunClock::duration::zero() ? std::string_view(spent_refusal_)
                                               : std::string_view();
  }

  std::mutex mutex_;
  RunClock::duration left_;
  bool cut_short_ = false;
  std::string spent_refusal_;  ///< Why calls are refused once nothing is left.
  std::string refusal_;        ///< Why a call ended the rest; empty until one has.
};

}  // namespace nembit
