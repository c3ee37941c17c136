#include "notify/gntp/growl_notifier.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <regex>
#include <thread>

#include "common/system_error.h"
#include "tests/support/failure_of.h"
#include "tests/support/fake_server.h"

namespace nembit::gntp {
namespace {

using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::StartsWith;
using namespace std::chrono_literals;

constexpr std::string_view kOk = "GNTP/1.0 -OK NONE\r\nResponse-Action: REGISTER\r\n\r\n";

const notify::Application kApplication{.applicationName = "nembit",
                                       .notifications = {"create"},
                                       .defaultNotifications = {"create"},
                                       .applicationIcon = ""};
const notify::Note kNote{.noteType = "create",
                         .title = "nembit",
                         .description = "File created: \"x\"",
                         .icon = "file:///i.jpg",
                         .sticky = false,
                         .priority = 1};

Settings settings_for(const FakeServer& server, const std::string& host = "127.0.0.1") {
  Settings settings;
  settings.host = host;
  settings.port = server.port();
  settings.timeout = 500ms;
  return settings;
}

TEST(GrowlNotifier, RegistersThenNotifies) {
  FakeServer server(
      {{.bytes = std::string(kOk)}, {.bytes = std::string(kOk)}, {.bytes = std::string(kOk)}});
  ASSERT_TRUE(server.ok());
  // A host name, looked up once for both requests.
  Settings settings = settings_for(server, "gntp.test");
  auto lookups = std::make_shared<std::atomic<int>>(0);
  settings.resolve = [lookups](const std::string&, const std::string& port) {
    ++*lookups;
    return system_resolve("127.0.0.1", port);
  };
  GrowlNotifier notifier(kApplication, settings);
  notifier.register_app();
  notifier.notify(kNote);
  notifier.notify(kNote);
  EXPECT_EQ(*lookups, 1);
  // Each notice names itself; the later ones take the first's place.
  std::vector<std::string> requests = server.requests();
  ASSERT_EQ(requests.size(), 3U);
  const std::regex id_header("Notification-ID: (nembit-[0-9a-f]{16}-[0-9]+)\r\n");
  std::smatch first;
  std::smatch second;
  ASSERT_TRUE(std::regex_search(requests[1], first, id_header));
  ASSERT_TRUE(std::regex_search(requests[2], second, id_header));
  EXPECT_NE(first[1], second[1]);
  EXPECT_THAT(requests[2], EndsWith("Notification-Coalescing-ID: " + first[1].str() + "\r\n\r\n"));
  requests[1] = std::regex_replace(requests[1], id_header, "");
  EXPECT_THAT(requests, ElementsAre("GNTP/1.0 REGISTER NONE\r\n"
                                    "Application-Name: nembit\r\n"
                                    "Notifications-Count: 1\r\n"
                                    "\r\n"
                                    "Notification-Name: create\r\n"
                                    "Notification-Display-Name: create\r\n"
                                    "Notification-Enabled: True\r\n"
                                    "\r\n",
                                    "GNTP/1.0 NOTIFY NONE\r\n"
                                    "Application-Name: nembit\r\n"
                                    "Notification-Name: create\r\n"
                                    "Notification-Title: nembit\r\n"
                                    "Notification-Text: File created: \"x\"\r\n"
                                    "Notification-Sticky: False\r\n"
                                    "Notification-Priority: 1\r\n"
                                    "Notification-Icon: file:///i.jpg\r\n"
                                    "\r\n",
                                    requests[2]));
}

TEST(GrowlNotifier, SignsEveryRequestWithAFreshSalt) {
  FakeServer server(
      {{.bytes = std::string(kOk)}, {.bytes = std::string(kOk)}, {.bytes = std::string(kOk)}});
  Settings settings = settings_for(server);
  settings.password = "secret";
  GrowlNotifier notifier(kApplication, settings);
  notifier.register_app();
  notifier.notify(kNote);
  notifier.notify(kNote);
  const std::vector<std::string>& requests = server.requests();
  ASSERT_EQ(requests.size(), 3U);
  const auto information_line = [](const std::string& request) {
    return request.substr(0, request.find("\r\n"));
  };
  // "SHA256:", 64 hex digits, ".", 32 hex digits, after the type.
  const auto signed_as = [&](size_t i, std::string_view type) {
    const std::string line = information_line(requests[i]);
    const std::string start = "GNTP/1.0 " + std::string(type) + " NONE SHA256:";
    const std::string key = line.substr(std::min(line.size(), start.size()));
    return line.starts_with(start) && key.size() == 97 && key[64] == '.' &&
           (key.substr(0, 64) + key.substr(65)).find_first_not_of("0123456789ABCDEF") ==
               std::string::npos;
  };
  EXPECT_TRUE(signed_as(0, "REGISTER")) << requests[0];
  EXPECT_TRUE(signed_as(1, "NOTIFY")) << requests[1];
  EXPECT_TRUE(signed_as(2, "NOTIFY")) << requests[2];
  EXPECT_NE(information_line(requests[1]), information_line(requests[2]));
}

TEST(GrowlNotifier, ReportsWhatGoesWrong) {
  using enum FakeServer::Reply;
  FakeServer server({
      {.bytes =
           "GNTP/1.0 -ERROR NONE\r\nError-Code: 401\r\nError-Description: Unknown app\r\n\r\n"},
      {.kind = kSilent, .bytes = ""},
      {.kind = kTrickle, .bytes = std::string(kOk)},
      {.bytes = "garbage\r\n\r\n"},
      {.bytes = std::string(size_t{70} * 1024, 'x')},
      {.kind = kCloseAtOnce, .bytes = ""},
      {.bytes = "GNTP/1.0 -OK NONE\r\n"},  // Then closes, without the empty line.
      {.kind = kKeepOpen, .bytes = std::string(kOk)},
  });
  // A fresh notifier each time: one that timed out would not try again.
  const auto notify = [&] { GrowlNotifier(kApplication, settings_for(server)).notify(kNote); };
  EXPECT_EQ(failure_of(notify), "GNTP error 401: Unknown app");
  const std::string timed_out =
      "timed out talking to the GNTP server at 127.0.0.1:" + server.port();
  EXPECT_EQ(failure_of(notify), timed_out);  // Silent.
  EXPECT_EQ(failure_of(notify), timed_out);  // Trickling.
  EXPECT_EQ(failure_of(notify), "malformed GNTP reply: garbage");
  EXPECT_EQ(failure_of(notify), "the GNTP reply is longer than 65536 bytes");
  EXPECT_EQ(failure_of(notify), "the GNTP server closed the connection without a reply");
  EXPECT_EQ(failure_of(notify), "no error");
  EXPECT_EQ(failure_of(notify), "no error");  // Answered, left open: the reply is whole.
}

TEST(GrowlNotifier, WaitsForAStalledServerOnce) {
  FakeServer server(
      {{.bytes = std::string(kOk)}, {.kind = FakeServer::Reply::kSilent, .bytes = ""}});
  GrowlNotifier notifier(kApplication, settings_for(server));
  notifier.register_app();
  // Said once: the later notices are dropped without a word.
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(
        failure_of([&] { notifier.notify(kNote); }),
        i == 0 ? "timed out talking to the GNTP server at 127.0.0.1:" + server.port() : "no error");
  }
  EXPECT_EQ(server.requests().size(), 2U);
}

TEST(GrowlNotifier, GivesUpOnAServerThatHasGone) {
  auto server =
      std::make_unique<FakeServer>(std::vector<FakeServer::Step>{{.bytes = std::string(kOk)}});
  GrowlNotifier notifier(kApplication, settings_for(*server));
  notifier.register_app();
  server.reset();  // Nobody listens on its port any more.
  EXPECT_EQ(failure_of([&] { notifier.notify(kNote); }), errno_text(refused_error()));
  EXPECT_EQ(failure_of([&] { notifier.notify(kNote); }), "no error");
}

TEST(GrowlNotifier, SpendsAtMostItsBudgetOnASlowServer) {
  // Two slow answers spend most of the budget; the third request is never
  // answered, and is given only what is left of it, far less than its limit.
  const FakeServer::Step slow{
      .kind = FakeServer::Reply::kDelayed, .bytes = std::string(kOk), .delay = 50ms};
  FakeServer server({slow, slow, {.kind = FakeServer::Reply::kSilent, .bytes = ""}});
  Settings settings = settings_for(server);
  settings.timeout = 10s;
  settings.budget = 1s;
  GrowlNotifier notifier(kApplication, settings);
  notifier.register_app();
  notifier.notify(kNote);
  const auto start = std::chrono::steady_clock::now();
  const std::string spent =
      "the GNTP server has used up the 1000 ms that its calls may take in one run";
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(failure_of([&] { notifier.notify(kNote); }), i == 0 ? spent : "no error");
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
  EXPECT_EQ(server.requests().size(), 3U);
}

TEST(GrowlNotifier, GivesUpOnASlowLookupAtTheDeadline) {
  Settings settings;
  settings.host = "slow.example";
  settings.timeout = 200ms;
  auto calls = std::make_shared<std::atomic<int>>(0);
  settings.resolve = [calls](const std::string&, const std::string&) -> std::vector<Address> {
    ++*calls;
    std::this_thread::sleep_for(2s);
    throw notify::Error("too late");
  };
  GrowlNotifier notifier(kApplication, settings);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(failure_of([&] { notifier.register_app(); }),
              "timed out looking up the GNTP server slow.example");
  }
  EXPECT_EQ(*calls, 1);
}

TEST(GrowlNotifier, NamesARefusedConnection) {
  int port = 0;
  {
    FakeServer gone({});
    port = std::stoi(gone.port());
  }
  Settings settings;
  settings.host = "127.0.0.1";
  settings.port = std::to_string(port);
  GrowlNotifier notifier(kApplication, settings);
#if defined(_WIN32)
  EXPECT_THAT(failure_of([&] { notifier.register_app(); }), StartsWith("[WinError 10061] "));
#else
  EXPECT_EQ(failure_of([&] { notifier.register_app(); }), "[Errno 111] Connection refused");
#endif
  settings.host = "no-such-host.invalid";
  GrowlNotifier lost(kApplication, settings);
  EXPECT_THAT(failure_of([&] { lost.register_app(); }),
              StartsWith("cannot resolve the GNTP server no-such-host.invalid:"));
}

TEST(GrowlNotifier, ReachesAnIpv6Server) {
  FakeServer server({{.bytes = std::string(kOk)}, {.bytes = std::string(kOk)}}, true);
  if (!server.ok()) GTEST_SKIP() << "no IPv6 loopback here";
  GrowlNotifier(kApplication, settings_for(server, "::1")).register_app();
  GrowlNotifier(kApplication, settings_for(server, "[::1]")).register_app();
}

}  // namespace
}  // namespace nembit::gntp
