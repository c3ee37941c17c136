#include "notify/desktop_notifier.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>

#include "nembit/interrupted.h"
#include "notify/paced_notifier.h"

namespace nembit::notify {
namespace {

using ::testing::ElementsAre;

const Application kApplication{.applicationName = "nembit",
                               .notifications = {"create"},
                               .defaultNotifications = {"create"},
                               .applicationIcon = ""};

// A module whose service answers as the test says, and keeps the notices.
struct FakeModule {
  static inline int open_status = NEMBIT_DESKTOP_OK;
  static inline int notify_status = NEMBIT_DESKTOP_OK;
  static inline bool body_markup = true;
  static inline int calls = 0;
  static inline std::vector<std::string> bodies;
  static inline std::vector<int> urgencies;
  static inline std::vector<int> expiries;
  static inline std::vector<unsigned> replaced;
  static inline NembitDesktop* const kHandle = reinterpret_cast<NembitDesktop*>(&calls);

  static NembitDesktop* open(NembitDesktopWait /*wait*/, void* /*context*/, int* markup,
                             int* status, char* error, size_t size) {
    ++calls;
    *markup = body_markup ? 1 : 0;
    *status = open_status;
    std::snprintf(error, size, "no service");
    return open_status == NEMBIT_DESKTOP_OK ? kHandle : nullptr;
  }
  static int notify(NembitDesktop* /*desktop*/, const NembitDesktopNote* note, unsigned* id,
                    NembitDesktopWait /*wait*/, void* /*context*/, char* error, size_t size) {
    ++calls;
    bodies.emplace_back(note->body);
    urgencies.push_back(note->urgency);
    expiries.push_back(note->expire_timeout);
    replaced.push_back(note->replaces_id);
    *id = 40 + calls;
    std::snprintf(error, size, "refused the notice");
    return notify_status;
  }
  static void close(NembitDesktop* /*desktop*/) {}
  static constexpr NembitDesktopApi kApi = {NEMBIT_DESKTOP_ABI, open, notify, close};
};

class DesktopNotifierTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FakeModule::open_status = NEMBIT_DESKTOP_OK;
    FakeModule::notify_status = NEMBIT_DESKTOP_OK;
    FakeModule::body_markup = true;
    FakeModule::calls = 0;
    FakeModule::bodies.clear();
    FakeModule::urgencies.clear();
    FakeModule::expiries.clear();
    FakeModule::replaced.clear();
  }
  static Note note(int priority = 1, bool sticky = false) {
    return {.noteType = "create",
            .title = "nembit",
            .description = "File created: \"<i>x&y.txt\"",
            .icon = "",
            .sticky = sticky,
            .priority = priority};
  }
};

TEST_F(DesktopNotifierTest, ShowsTheNameAsTypedAndNeverStaysOnScreenUnasked) {
  DesktopNotifier notifier(kApplication, FakeModule::kApi);
  notifier.register_app();
  notifier.notify(note());
  notifier.notify(note(-2));
  notifier.notify(note(2, true));
  notifier.notify(note(0));
  notifier.notify(note(-1));
  FakeModule::body_markup = false;
  DesktopNotifier plain(kApplication, FakeModule::kApi);
  plain.register_app();
  plain.notify(note());
  const std::string escaped = "File created: \"&lt;i&gt;x&amp;y.txt\"";
  EXPECT_THAT(FakeModule::bodies, ElementsAre(escaped, escaped, escaped, escaped, escaped,
                                              "File created: \"<i>x&y.txt\""));
  EXPECT_THAT(FakeModule::urgencies, ElementsAre(1, 0, 1, 1, 0, 1));
  EXPECT_THAT(FakeModule::expiries, ElementsAre(-1, -1, 0, -1, -1, -1));
}

TEST_F(DesktopNotifierTest, TellsEachWayACallEnds) {
  DesktopNotifier notifier(kApplication, FakeModule::kApi);
  notifier.register_app();
  FakeModule::notify_status = NEMBIT_DESKTOP_TIMED_OUT;
  EXPECT_THROW(notifier.notify(note()), TimeoutError);
  FakeModule::notify_status = NEMBIT_DESKTOP_FAILED;
  DesktopNotifier failing(kApplication, FakeModule::kApi);
  failing.register_app();
  try {
    failing.notify(note());
    FAIL() << "no error";
  } catch (const Error& error) {
    EXPECT_STREQ(error.what(), "refused the notice");
  }
  FakeModule::open_status = NEMBIT_DESKTOP_STOPPED;
  DesktopNotifier stopped(kApplication, FakeModule::kApi);
  EXPECT_THROW(stopped.register_app(), Interrupted);
}

TEST_F(DesktopNotifierTest, AtTheServicesPaceAFailedNoticeEndsNothing) {
  PacedNotifier notifier(std::make_unique<DesktopNotifier>(kApplication, FakeModule::kApi));
  notifier.register_app();
  FakeModule::notify_status = NEMBIT_DESKTOP_FAILED;
  notifier.notify(note());
  EXPECT_THROW(notifier.flush(), Error);
  FakeModule::notify_status = NEMBIT_DESKTOP_OK;
  notifier.notify(note());
  notifier.flush();
  EXPECT_EQ(FakeModule::bodies.size(), 2U);
}

}  // namespace
}  // namespace nembit::notify
