#include "common/paced_calls.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <csignal>
#include <stdexcept>
#include <thread>
#include <vector>

#include "common/stop_signal_handlers.h"
#include "common/stop_signals.h"

namespace nembit {
namespace {

using namespace std::chrono_literals;

struct Failed : std::runtime_error {
  using std::runtime_error::runtime_error;
};
struct TimedOut : Failed {
  using Failed::Failed;
};

// A service that takes 50 ms a call and records what it got; a call named
// "fail" or "time out" throws instead ("slow time out" after 150 ms), and one
// named "held" takes until the test releases it.
class SlowService {
 public:
  void take(const std::string& item) {
    ++started;
    std::this_thread::sleep_for(50ms);
    if (item == "fail") throw Failed("failed");
    if (item == "time out") throw TimedOut("timed out");
    if (item == "slow time out") {
      std::this_thread::sleep_for(100ms);
      throw TimedOut("timed out");
    }
    std::unique_lock lock(mutex_);
    if (item == "held") released_.wait(lock, [this] { return !held_; });
    taken_.push_back(item);
  }
  void release() {
    const std::lock_guard lock(mutex_);
    held_ = false;
    released_.notify_all();
  }
  std::atomic<int> started = 0;
  std::vector<std::string> taken() {
    const std::lock_guard lock(mutex_);
    return taken_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable released_;
  bool held_ = true;
  std::vector<std::string> taken_;
};

// What `call` throws, as the tests name it, or "".
template <typename Call>
std::string thrown_by(Call call) {
  try {
    call();
  } catch (const TimedOut& error) {
    return std::string("time-out: ") + error.what();
  } catch (const Failed& error) {
    return std::string("failure: ") + error.what();
  }
  return "";
}

// What submitting `item` throws, or "".
std::string submit(PacedCalls<Failed, TimedOut>& calls, SlowService& service,
                   const std::string& item) {
  return thrown_by([&] { calls.submit([&service, item] { service.take(item); }); });
}

using Calls = PacedCalls<Failed, TimedOut>;

TEST(PacedCalls, SendsTheFirstAndTheNewestWithoutWaiting) {
  SlowService service;
  Calls calls("the service", true);
  for (int i = 1; i <= 20; ++i) EXPECT_EQ(submit(calls, service, std::to_string(i)), "");
  calls.finish();
  const std::vector<std::string> taken = service.taken();
  ASSERT_GE(taken.size(), 2U);
  EXPECT_EQ(taken.front(), "1");  // No newer call takes its place as the worker starts.
  EXPECT_EQ(taken.back(), "20");
  EXPECT_LE(taken.size(), 3U);
}

TEST(PacedCalls, RunsCallsOnTheCallersThreadWhereAskedByTheSameRules) {
  Calls calls("the service", true, kRunBudget, /*here=*/true);
  std::vector<std::thread::id> threads;
  const auto submit_here = [&](bool fails) {
    return thrown_by([&] {
      calls.submit([&threads, fails] {
        threads.push_back(std::this_thread::get_id());
        if (fails) throw Failed("failed");
      });
    });
  };
  EXPECT_EQ(submit_here(false), "");
  EXPECT_EQ(submit_here(true), "");
  EXPECT_EQ(submit_here(false), "failure: failed");  // Said once, by the next; that one dropped.
  EXPECT_EQ(thrown_by([&] { calls.finish(); }), "");
  EXPECT_EQ(threads, std::vector(2, std::this_thread::get_id()));
}

TEST(PacedCalls, SaysEachFailureOnceAndEndsTheComponentAsItsRuleSays) {
  struct Case {
    bool end_on_failure;
    std::string failing;
    std::string next;  // Made while the failing one runs.
    // Of a call made once those have ended, of finish(), and of a call and
    // finish() after that.
    std::vector<std::string> reports;
    std::vector<std::string> taken;
    std::chrono::milliseconds budget = kRunBudget;
  };
  const Case cases[] = {
      {true, "fail", "waiting", {"failure: failed", "", "", ""}, {}},
      {false, "fail", "waiting", {"failure: failed", "", "", ""}, {"waiting", "a", "b"}},
      {false, "fail", "fail", {"failure: failed (and 1 more failures)", "", "", ""}, {"a", "b"}},
      {false, "time out", "waiting", {"time-out: timed out", "", "", ""}, {}},
      // The run waited for none of it: no budget was spent.
      {false, "slow time out", "waiting", {"time-out: timed out", "", "", ""}, {}, 100ms},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.failing + ", then " + test.next + (test.end_on_failure ? ", ending" : ""));
    SlowService service;
    Calls calls("the service", test.end_on_failure, test.budget);
    const auto finish = [&] { return thrown_by([&] { calls.finish(); }); };
    submit(calls, service, test.failing);
    while (service.started == 0) std::this_thread::yield();
    submit(calls, service, test.next);
    std::this_thread::sleep_for(400ms);
    const std::vector<std::string> reports{submit(calls, service, "a"), finish(),
                                           submit(calls, service, "b"), finish()};
    EXPECT_EQ(reports, test.reports);
    EXPECT_EQ(service.taken(), test.taken);
  }
}

TEST(PacedCalls, SpendsTheBudgetOnlyOnWhatTheRunWaits) {
  // Calls of 50 ms, one every few milliseconds for five times the budget:
  // the run never waits for them, and the last arrives.
  SlowService service;
  Calls calls("the service", true, 200ms);
  for (int i = 1; i <= 200; ++i) {
    EXPECT_EQ(submit(calls, service, std::to_string(i)), "");
    std::this_thread::sleep_for(5ms);
  }
  EXPECT_EQ(thrown_by([&] { calls.finish(); }), "");
  EXPECT_EQ(service.taken().back(), "200");
  // A run that waits for each call spends it, and hears so once: the wait
  // that crosses the budget ends with it, though the call goes on. Of the
  // calls made since, the newest gets its own attempt, which nobody waits
  // for but the end, and nothing after.
  SlowService waited;
  std::vector<std::string> reports;
  {
    Calls flushed("the service", true, 400ms);
    for (const char* item : {"1", "2", "held", "4", "5"}) {
      reports.push_back(submit(flushed, waited, item));
      if (std::string(item) != "4") reports.push_back(thrown_by([&] { flushed.finish(); }));
    }
    reports.push_back(submit(flushed, waited, "6"));
    reports.push_back(thrown_by([&] { flushed.finish(); }));
    waited.release();
  }
  EXPECT_THAT(reports, testing::ElementsAre("", "", "", "", "",
                                            "time-out: the service has used up the 400 ms that"
                                            " its calls may take in one run",
                                            "", "", "", "", ""));
  EXPECT_THAT(waited.taken(), testing::ElementsAre("1", "2", "held", "5"));
  // Ended before its next finish(), it lets the newest have its attempt.
  SlowService ended;
  {
    Calls calls("the service", true, 100ms);
    submit(calls, ended, "held");
    thrown_by([&] { calls.finish(); });
    submit(calls, ended, "last");
    ended.release();
  }
  EXPECT_THAT(ended.taken(), testing::ElementsAre("held", "last"));
}

TEST(PacedCalls, PassesAStopThatACallSawToEveryLaterCall) {
  Calls calls("the service", false);
  calls.submit([] { throw Interrupted{SIGTERM}; });
  for (int i = 0; i < 2; ++i) {
    try {
      calls.finish();
      FAIL() << "no stop";
    } catch (const Interrupted& stop) {
      EXPECT_EQ(stop.signal, SIGTERM);
    }
    EXPECT_THROW(calls.submit([] {}), Interrupted);
  }
}

TEST(PacedDelivery, DropsTheDeliveryThatWaitsOnAStopAndDeliversItOtherwise) {
  for (const bool stop : {false, true}) {
    for (const bool finishing : {false, true}) {
      SCOPED_TRACE(std::string(stop ? "stopped" : "not stopped") +
                   (finishing ? ", finish()" : ", destructor"));
      const StopSignalScope stop_scope;
      SlowService service;
      bool interrupted = false;
      {
        PacedDelivery delivery;
        delivery.submit([&] { service.take("first"); });
        while (service.started == 0) std::this_thread::yield();
        delivery.submit([&] { service.take("last"); });
        if (stop) note_stop_signal(SIGTERM);
        if (finishing) {
          try {
            delivery.finish();
          } catch (const Interrupted&) {
            interrupted = true;
          }
        }
      }
      EXPECT_EQ(interrupted, stop && finishing);
      const std::vector<std::string> expected =
          stop ? std::vector<std::string>{"first"} : std::vector<std::string>{"first", "last"};
      EXPECT_EQ(service.taken(), expected);
    }
  }
}

}  // namespace
}  // namespace nembit
