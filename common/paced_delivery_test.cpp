#include "common/paced_delivery.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>
#include <vector>

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
// "fail" or "time out" throws instead.
class SlowService {
 public:
  void take(const std::string& item) {
    std::this_thread::sleep_for(50ms);
    if (item == "fail") throw Failed("failed");
    if (item == "time out") throw TimedOut("timed out");
    const std::lock_guard lock(mutex_);
    taken_.push_back(item);
  }
  std::vector<std::string> taken() {
    const std::lock_guard lock(mutex_);
    return taken_;
  }

 private:
  std::mutex mutex_;
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

TEST(PacedCalls, SendsTheFirstAndTheNewestWithoutWaiting) {
  SlowService service;
  PacedCalls<Failed, TimedOut> calls(true);
  for (int i = 1; i <= 20; ++i) EXPECT_EQ(submit(calls, service, std::to_string(i)), "");
  calls.finish();
  const std::vector<std::string> taken = service.taken();
  ASSERT_GE(taken.size(), 1U);
  EXPECT_EQ(taken.back(), "20");
  EXPECT_LE(taken.size(), 3U);
}

TEST(PacedCalls, ReportsEachFailureOnceAndKeepsToItsRule) {
  struct Case {
    bool end_on_failure;
    std::string failing;
    std::vector<std::string> reports;  // Of finish(), then of two later calls and their finish().
    std::vector<std::string> taken;
  };
  const Case cases[] = {
      {true, "fail", {"failure: failed", "", "", ""}, {}},
      {false, "fail", {"failure: failed", "", "", ""}, {"a", "b"}},
      {true,
       "time out",
       {"time-out: timed out", "time-out: timed out", "time-out: timed out", ""},
       {}},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.failing + (test.end_on_failure ? ", ending" : ""));
    SlowService service;
    PacedCalls<Failed, TimedOut> calls(test.end_on_failure);
    submit(calls, service, test.failing);
    std::vector<std::string> reports;
    const auto finish = [&] { return thrown_by([&] { calls.finish(); }); };
    reports.push_back(finish());
    reports.push_back(submit(calls, service, "a"));
    calls.finish();
    reports.push_back(submit(calls, service, "b"));
    reports.push_back(finish());
    EXPECT_EQ(reports, test.reports);
    EXPECT_EQ(service.taken(), test.taken);
  }
}

TEST(PacedDelivery, DeliversTheLastBeforeItGoes) {
  SlowService service;
  {
    PacedDelivery delivery;
    delivery.submit([&] { service.take("first"); });
    delivery.submit([&] { service.take("last"); });
  }
  ASSERT_FALSE(service.taken().empty());
  EXPECT_EQ(service.taken().back(), "last");
}

}  // namespace
}  // namespace nembit
