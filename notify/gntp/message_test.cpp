#include "notify/gntp/message.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>

namespace nembit::gntp {
namespace {

using ::testing::EndsWith;

std::string error_of(std::string_view reply) {
  try {
    check_reply(reply);
  } catch (const notify::Error& error) {
    return error.what();
  }
  return "ok";
}

TEST(Message, RegistersEveryTypeAndEnablesTheDefaults) {
  const notify::Application application{.applicationName = "nembit",
                                        .notifications = {"create", "delete"},
                                        .defaultNotifications = {"create"},
                                        .applicationIcon = "file:///opt/my%20tools/nembit.jpg"};
  EXPECT_EQ(register_request(application, ""),
            "GNTP/1.0 REGISTER NONE\r\n"
            "Application-Name: nembit\r\n"
            "Application-Icon: file:///opt/my%20tools/nembit.jpg\r\n"
            "Notifications-Count: 2\r\n"
            "\r\n"
            "Notification-Name: create\r\n"
            "Notification-Display-Name: create\r\n"
            "Notification-Enabled: True\r\n"
            "\r\n"
            "Notification-Name: delete\r\n"
            "Notification-Display-Name: delete\r\n"
            "Notification-Enabled: False\r\n"
            "\r\n");
}

TEST(Message, NotifiesWithoutAnEmptyIcon) {
  const notify::Note note{.noteType = "create",
                          .title = "nembit",
                          .description = "File created: \"a.txt\"",
                          .icon = "",
                          .sticky = false,
                          .priority = 1};
  EXPECT_EQ(notify_request("nembit", note, "SHA256:AB.CD"),
            "GNTP/1.0 NOTIFY NONE SHA256:AB.CD\r\n"
            "Application-Name: nembit\r\n"
            "Notification-Name: create\r\n"
            "Notification-Title: nembit\r\n"
            "Notification-Text: File created: \"a.txt\"\r\n"
            "Notification-Sticky: False\r\n"
            "Notification-Priority: 1\r\n"
            "\r\n");
  EXPECT_THAT(notify_request("nembit", note, "", {.id = "r-2", .replaces = "r-1"}),
              EndsWith("Notification-Priority: 1\r\n"
                       "Notification-ID: r-2\r\n"
                       "Notification-Coalescing-ID: r-1\r\n"
                       "\r\n"));
}

TEST(Message, NoValueCanBreakALine) {
  const notify::Note note{.noteType = "create",
                          .title = "t",
                          .description = "File created: \"a\r\n\r\nX-Evil: 1\nb\r\"",
                          .icon = "file:///x\r\n"};
  const std::string request = notify_request("n", note, "");
  EXPECT_EQ(request.find("\r\n\r\n"), request.size() - 4);
  EXPECT_NE(request.find("Notification-Text: File created: \"a    X-Evil: 1 b \"\r\n"),
            std::string::npos);
}

TEST(Message, HashesThePasswordWithTheSalt) {
  // Computed independently, with Python's hashlib.
  std::array<unsigned char, 16> salt{};
  for (size_t i = 0; i < salt.size(); ++i) salt[i] = static_cast<unsigned char>(i);
  EXPECT_EQ(key_part("p\u00e4ssword", salt),
            "SHA256:9AACBE43B246FC6CF7C49AAEC5C66574D5BF45F743E5BCDFFE46793F36A119A8."
            "000102030405060708090A0B0C0D0E0F");
}

TEST(Message, ChecksReplies) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"GNTP/1.0 -OK NONE\r\nResponse-Action: REGISTER\r\n\r\n", "ok"},
      {"GNTP/1.0 -ERROR NONE\r\nError-Code: 402\r\nError-Description: Unknown notification\r\n\r\n",
       "GNTP error 402: Unknown notification"},
      {"GNTP/1.0 -ERROR Invalid data\r\nError-Description: Invalid data\r\n\r\n",
       "GNTP error: Invalid data"},
      {"GNTP/1.0 -ERROR NONE\r\n\r\n", "GNTP error: no description"},
      {"HTTP/1.1 400 Bad Request\r\n\r\n", "malformed GNTP reply: HTTP/1.1 400 Bad Request"},
      {"GNTP/1.0 -MAYBE\r\n\r\n", "malformed GNTP reply: GNTP/1.0 -MAYBE"},
      {"\x1b]0;x\x07\r\n\r\n", "malformed GNTP reply: \\x1b]0;x\\x07"},
      {"GNTP/1.0 -ERROR\r\nError-Description: \xc2\x9b"
       "2J\xff\r\n\r\n",
       "GNTP error: \\u009b2J\\xff"},
      {"", "the GNTP server closed the connection without a reply"},
  };
  for (const auto& [reply, error] : cases) EXPECT_EQ(error_of(reply), error) << reply;
}

}  // namespace
}  // namespace nembit::gntp
