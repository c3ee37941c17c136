#include "notify/selecting_notifier.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

#include "nembit/interrupted.h"

namespace nembit::notify {
namespace {

const Application kApplication{.applicationName = "nembit",
                               .notifications = {"create"},
                               .defaultNotifications = {"create"},
                               .applicationIcon = ""};

// What the fake notifiers of a test were made for and asked.
struct Log {
  std::vector<std::string> calls;
};

class FakeNotifier : public Notifier {
 public:
  FakeNotifier(std::string name, Log& log, bool refuse, bool fail)
      : name_(std::move(name)), log_(log), refuse_(refuse), fail_(fail) {}
  void register_app() override {
    log_.calls.push_back(name_ + " register");
    if (refuse_) throw notify::RefusedError("[Errno 111] Connection refused");
    if (fail_) throw Error(name_ + " failed");
  }
  void notify(const Note& /*note*/) override { log_.calls.push_back(name_ + " notify"); }

 private:
  std::string name_;
  Log& log_;
  bool refuse_;
  bool fail_;
};

struct Scenario {
  NotifierChoice choice = NotifierChoice::kAuto;
  bool gntp_asked_for = false;
  bool gntp_refuses = false;
  bool gntp_fails = false;
  bool desktop_fails = false;
};

// Registers and sends one notice; the calls made, or the registration's error.
std::vector<std::string> run(const Scenario& scenario, std::string& error) {
  Log log;
  const auto maker = [&log](const char* name, bool refuse, bool fail) {
    return [&log, name, refuse, fail](const Application&) -> std::unique_ptr<Notifier> {
      log.calls.push_back(std::string("make ") + name);
      return std::make_unique<FakeNotifier>(name, log, refuse, fail);
    };
  };
  SelectingNotifier notifier(kApplication, scenario.choice, scenario.gntp_asked_for,
                             maker("gntp", scenario.gntp_refuses, scenario.gntp_fails),
                             maker("desktop", false, scenario.desktop_fails));
  try {
    notifier.register_app();
    notifier.notify(Note{});
  } catch (const Error& failure) {
    error = failure.what();
  }
  return log.calls;
}

TEST(SelectingNotifier, TurnsToTheDesktopOnlyWhenNobodyListensForGntp) {
  using enum NotifierChoice;
  struct Case {
    Scenario scenario;
    std::vector<std::string> calls;
    std::string error;
  };
  const Case cases[] = {
      {{}, {"make gntp", "gntp register", "gntp notify"}, ""},
      {{.gntp_refuses = true},
       {"make gntp", "gntp register", "make desktop", "desktop register", "desktop notify"},
       ""},
      {{.gntp_refuses = true, .desktop_fails = true},
       {"make gntp", "gntp register", "make desktop", "desktop register"},
       "[Errno 111] Connection refused"},
      {{.gntp_fails = true}, {"make gntp", "gntp register"}, "gntp failed"},
      {{.gntp_asked_for = true, .gntp_refuses = true},
       {"make gntp", "gntp register"},
       "[Errno 111] Connection refused"},
      {{.choice = kGntp, .gntp_refuses = true},
       {"make gntp", "gntp register"},
       "[Errno 111] Connection refused"},
      {{.choice = kDesktop}, {"make desktop", "desktop register", "desktop notify"}, ""},
      {{.choice = kDesktop, .desktop_fails = true},
       {"make desktop", "desktop register"},
       "desktop failed"},
  };
  for (const Case& expected : cases) {
    std::string error;
    EXPECT_EQ(run(expected.scenario, error), expected.calls);
    EXPECT_EQ(error, expected.error);
  }
}

TEST(SelectingNotifier, ReadsTheChoiceFromItsSetting) {
  std::string warning;
  EXPECT_EQ(notifier_choice(nullptr, warning), NotifierChoice::kAuto);
  EXPECT_EQ(notifier_choice("", warning), NotifierChoice::kAuto);
  EXPECT_EQ(notifier_choice("auto", warning), NotifierChoice::kAuto);
  EXPECT_EQ(notifier_choice("gntp", warning), NotifierChoice::kGntp);
  EXPECT_EQ(notifier_choice("desktop", warning), NotifierChoice::kDesktop);
  EXPECT_EQ(notifier_choice("none", warning), NotifierChoice::kNone);
  EXPECT_EQ(warning, "");
  EXPECT_EQ(notifier_choice("GNTP", warning), NotifierChoice::kAuto);
  EXPECT_EQ(warning,
            "NEMBIT_NOTIFIER must be gntp, desktop, auto or none, not 'GNTP'; auto is used");
}

}  // namespace
}  // namespace nembit::notify
