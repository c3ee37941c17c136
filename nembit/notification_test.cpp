#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/escape.h"
#include "common/path.h"
#include "nembit/file_creator.h"
#include "tests/support/scratch_dir.h"

namespace nembit {
namespace {

namespace fs = std::filesystem;

// The program's folder, as a path of any platform and as UTF-8 text.
const fs::path kShare(u8"share t\u00e9ls");
const std::string kShareText = "share t\u00e9ls";
using ::testing::ElementsAre;
using ::testing::IsEmpty;

// What the fake notifiers of one test were asked to do.
struct Calls {
  std::vector<notify::Application> registered;
  std::vector<notify::Note> notes;
  bool fail_register = false;
  bool fail_notify = false;
};

class FakeNotifier : public notify::Notifier {
 public:
  FakeNotifier(notify::Application application, Calls& calls)
      : application_(std::move(application)), calls_(calls) {}
  void register_app() override {
    if (calls_.fail_register) throw notify::Error("[Errno 111] Connection refused");
    calls_.registered.push_back(application_);
  }
  void notify(const notify::Note& note) override {
    if (calls_.fail_notify) throw notify::Error("GNTP error 402: Unknown notification");
    calls_.notes.push_back(note);
  }

 private:
  notify::Application application_;
  Calls& calls_;
};

// Each test works in a fresh directory whose name holds a blank; the
// program's files are in its subdirectory "share tels" with an e acute.
class NotificationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(kShare);
    process_.argv = {"nembit"};
    process_.program_dir = utf8(dir_ / kShare);
    process_.components.make_notifier = [this](notify::Application application) {
      return std::make_unique<FakeNotifier>(std::move(application), calls_);
    };
  }
  static void put_icon() { std::ofstream(kShare / "nembit.jpg") << "jpeg"; }
  std::string icon_uri() const { return file_uri(utf8(dir_ / kShare / "nembit.jpg")); }
  std::vector<std::string> descriptions() const {
    std::vector<std::string> texts;
    for (const notify::Note& note : calls_.notes) texts.push_back(note.description);
    return texts;
  }

  ScratchDir scratch_{"notice test-"};
  const fs::path& dir_ = scratch_.path();
  Process process_;
  RealDiskInterface disk_;
  std::ostringstream out_;
  Calls calls_;
};

TEST_F(NotificationTest, RegistersOncePerCreatorWithTheIconWhenItExists) {
  FileCreator without_icon(process_, disk_, out_);
  put_icon();
  FileCreator with_icon(process_, disk_, out_);
  ASSERT_EQ(calls_.registered.size(), 2U);
  EXPECT_EQ(calls_.registered[0].applicationName, "nembit");
  EXPECT_THAT(calls_.registered[0].notifications, ElementsAre("create"));
  EXPECT_THAT(calls_.registered[0].defaultNotifications, ElementsAre("create"));
  EXPECT_EQ(calls_.registered[0].applicationIcon, "");
  EXPECT_EQ(calls_.registered[1].applicationIcon, icon_uri());
  EXPECT_TRUE(with_icon.growl);
  EXPECT_EQ(out_.str(), "");
}

TEST_F(NotificationTest, DoesNothingWithoutTheComponent) {
  process_.components.make_notifier = nullptr;
  process_.argv = {"nembit", "--debug"};
  FileCreator creator(process_, disk_, out_);
  EXPECT_EQ(creator.create_files({"a"}), 1);
  EXPECT_FALSE(creator.growl);
  EXPECT_THAT(calls_.registered, IsEmpty());
  EXPECT_THAT(calls_.notes, IsEmpty());
}

TEST_F(NotificationTest, AFailedRegistrationCostsOneWarning) {
  calls_.fail_register = true;
  process_.argv = {"nembit", "--debug"};
  FileCreator creator(process_, disk_, out_);
  EXPECT_FALSE(creator.growl);
  EXPECT_EQ(creator.create_files({"a", "b"}), 2);
  std::istringstream lines(out_.str());
  std::string first;
  std::getline(lines, first);
  EXPECT_EQ(first, "Warning: Could not initialize Growl: [Errno 111] Connection refused");
  EXPECT_EQ(std::ranges::count(out_.str(), '\n'), 3);
  EXPECT_THAT(calls_.notes, IsEmpty());
}

TEST_F(NotificationTest, ARelativeIconPathCannotBeAUri) {
  process_.program_dir = kShareText;
  put_icon();
  FileCreator creator(process_, disk_, out_);
  EXPECT_FALSE(creator.growl);
  const std::string expected =
      "Warning: Could not initialize Growl: relative path can't be expressed as a file URI: " +
      nembit::quoted(join_path(kShareText, "nembit.jpg")) + "\n";
  EXPECT_EQ(out_.str(), expected);
}

TEST_F(NotificationTest, AnnouncesEachFileByItsOwnName) {
  FileCreator creator(process_, disk_, out_);
  EXPECT_EQ(creator.create_files({"docs/a/b.txt", "n/b/", "n/./c", "n/..", "t\u00e4st"}), 5);
  EXPECT_THAT(descriptions(),
              ElementsAre("File created: \"b.txt\"", "File created: \"b\"", "File created: \"c\"",
                          "File created: \"..\"", "File created: \"t\u00e4st\""));
  const notify::Note& note = calls_.notes.front();
  EXPECT_EQ(note.noteType, "create");
  EXPECT_EQ(note.title, "nembit");
  EXPECT_FALSE(note.sticky);
  EXPECT_EQ(note.priority, 1);
}

TEST_F(NotificationTest, LooksForTheIconAtEveryNotice) {
  put_icon();
  FileCreator creator(process_, disk_, out_);
  creator.create_file("a");
  fs::remove(kShare / "nembit.jpg");
  creator.create_file("b");
  put_icon();
  creator.create_file("c");
  ASSERT_EQ(calls_.notes.size(), 3U);
  EXPECT_EQ(calls_.notes[0].icon, icon_uri());
  EXPECT_EQ(calls_.notes[1].icon, "");
  EXPECT_EQ(calls_.notes[2].icon, icon_uri());
}

TEST_F(NotificationTest, AFailedNoticeIsShownOnlyInDebugMode) {
  FileCreator creator(process_, disk_, out_);
  calls_.fail_notify = true;
  process_.argv = {"nembit", "--debugging", "--deb"};
  EXPECT_TRUE(creator.create_file("a"));
  EXPECT_EQ(out_.str(), "✓ File created: \"" + (dir_ / "a").string() + "\"\n");

  out_.str("");
  process_.argv = {"nembit", "b", "--debug"};
  EXPECT_TRUE(creator.create_file("b"));
  EXPECT_TRUE(creator.create_file("c"));
  EXPECT_EQ(out_.str(),
            "Notification error: GNTP error 402: Unknown notification\n✓ File created: \"" +
                (dir_ / "b").string() +
                "\"\nNotification error: GNTP error 402: Unknown notification\n"
                "✓ File created: \"" +
                (dir_ / "c").string() + "\"\n");
  calls_.fail_notify = false;
  EXPECT_TRUE(creator.create_file("d"));
  EXPECT_THAT(descriptions(), ElementsAre("File created: \"d\""));
}

}  // namespace
}  // namespace nembit
