#include "gntp/growl_notifier.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <atomic>
#include <cstring>
#include <memory>
#include <thread>

#include "tests/support/environment.h"

namespace nembit::gntp {
namespace {

// The few socket calls of the fake server that differ between platforms.
#if defined(_WIN32)
using NativeSocket = SOCKET;
constexpr int kNoSignal = 0;
int close_socket(NativeSocket socket) { return ::closesocket(socket); }
int poll_one(pollfd* entry, int milliseconds) { return ::WSAPoll(entry, 1, milliseconds); }
#else
using NativeSocket = int;
constexpr int kNoSignal = MSG_NOSIGNAL;
int close_socket(NativeSocket socket) { return ::close(socket); }
int poll_one(pollfd* entry, int milliseconds) { return ::poll(entry, 1, milliseconds); }
#endif

using ::testing::ElementsAre;
using ::testing::StartsWith;
using namespace std::chrono_literals;

constexpr std::string_view kOk = "GNTP/1.0 -OK NONE\r\nResponse-Action: REGISTER\r\n\r\n";

// A GNTP server on loopback that answers each connection with the next of
// its scripted replies and keeps what it received.
class FakeServer {
 public:
  /// What the server does once it has read a request: answers with
  /// `bytes`, waits without answering, sends `bytes` one byte every 50 ms,
  /// closes without an answer, or answers and keeps the connection open.
  enum class Reply { kScripted, kSilent, kTrickle, kCloseAtOnce, kKeepOpen };
  struct Step {
    Reply kind = Reply::kScripted;
    std::string bytes;
  };

  explicit FakeServer(std::vector<Step> steps, int family = AF_INET) : steps_(std::move(steps)) {
    start_sockets();
    listener_ = ::socket(family, SOCK_STREAM, 0);
    sockaddr_storage address{};
    socklen_t length = 0;
    if (family == AF_INET6) {
      auto& in6 = reinterpret_cast<sockaddr_in6&>(address);
      in6.sin6_family = AF_INET6;
      in6.sin6_addr = in6addr_loopback;
      length = sizeof in6;
    } else {
      auto& in = reinterpret_cast<sockaddr_in&>(address);
      in.sin_family = AF_INET;
      in.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      length = sizeof in;
    }
    ok_ = ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
          ::listen(listener_, 8) == 0 &&
          ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) == 0;
    if (!ok_) return;
    port_ = ntohs(family == AF_INET6 ? reinterpret_cast<sockaddr_in6&>(address).sin6_port
                                     : reinterpret_cast<sockaddr_in&>(address).sin_port);
    thread_ = std::thread([this] { serve(); });
  }
  FakeServer(const FakeServer&) = delete;
  FakeServer& operator=(const FakeServer&) = delete;
  ~FakeServer() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    close_socket(listener_);
  }

  bool ok() const { return ok_; }
  std::string port() const { return std::to_string(port_); }
  const std::vector<std::string>& requests() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    return requests_;
  }

 private:
  bool wait_readable(NativeSocket socket) const {
    while (!stop_) {
      pollfd entry{socket, POLLIN, 0};
      if (poll_one(&entry, 20) > 0) return true;
    }
    return false;
  }

  // Reads one whole request: a REGISTER ends after its last notification
  // block, a NOTIFY at its first empty line.
  static bool complete(const std::string& request) {
    size_t blocks = 1;
    if (request.starts_with("GNTP/1.0 REGISTER")) {
      const size_t count = request.find("Notifications-Count: ");
      if (count == std::string::npos) return false;
      blocks += std::stoul(request.substr(count + 21));
    }
    size_t ends = 0;
    for (size_t at = request.find("\r\n\r\n"); at != std::string::npos;
         at = request.find("\r\n\r\n", at + 4)) {
      ++ends;
    }
    return ends >= blocks;
  }

  void serve() {
    for (const Step& step : steps_) {
      if (!wait_readable(listener_)) return;
      const NativeSocket client = ::accept(listener_, nullptr, nullptr);
      std::string request;
      char buffer[4096];
      while (!complete(request) && wait_readable(client)) {
        const ssize_t got = ::recv(client, buffer, sizeof buffer, 0);
        if (got <= 0) break;
        request.append(buffer, static_cast<size_t>(got));
      }
      requests_.push_back(request);
      if (step.kind == Reply::kScripted) {
        ::send(client, step.bytes.data(), step.bytes.size(), kNoSignal);
      } else if (step.kind == Reply::kTrickle) {
        for (size_t i = 0; i < step.bytes.size() && !stop_; ++i) {
          if (::send(client, &step.bytes[i], 1, kNoSignal) != 1) break;
          std::this_thread::sleep_for(50ms);
        }
      } else if (step.kind == Reply::kSilent || step.kind == Reply::kKeepOpen) {
        if (step.kind == Reply::kKeepOpen) {
          ::send(client, step.bytes.data(), step.bytes.size(), kNoSignal);
        }
        wait_readable(client);  // Until the client gives up and closes.
      }
      close_socket(client);
    }
  }

  std::vector<Step> steps_;
  std::vector<std::string> requests_;
  NativeSocket listener_{};
  bool ok_ = false;
  uint16_t port_ = 0;
  std::atomic<bool> stop_ = false;
  std::thread thread_;
};

const Application kApplication{.applicationName = "nembit",
                               .notifications = {"create"},
                               .defaultNotifications = {"create"},
                               .applicationIcon = ""};
const Note kNote{.noteType = "create",
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

std::string failure_of(const std::function<void()>& call) {
  try {
    call();
  } catch (const Error& error) {
    return error.what();
  }
  return "no error";
}

TEST(GrowlNotifier, RegistersThenNotifies) {
  FakeServer server({{.bytes = std::string(kOk)}, {.bytes = std::string(kOk)}});
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
  EXPECT_EQ(*lookups, 1);
  EXPECT_THAT(server.requests(), ElementsAre("GNTP/1.0 REGISTER NONE\r\n"
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
                                             "\r\n"));
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
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(failure_of([&] { notifier.notify(kNote); }),
              "timed out talking to the GNTP server at 127.0.0.1:" + server.port());
  }
  EXPECT_EQ(server.requests().size(), 2U);
}

TEST(GrowlNotifier, GivesUpOnASlowLookupAtTheDeadline) {
  Settings settings;
  settings.host = "slow.example";
  settings.timeout = 200ms;
  auto calls = std::make_shared<std::atomic<int>>(0);
  settings.resolve = [calls](const std::string&, const std::string&) -> std::vector<Address> {
    ++*calls;
    std::this_thread::sleep_for(2s);
    throw Error("too late");
  };
  GrowlNotifier notifier(kApplication, settings);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(failure_of([&] { notifier.register_app(); }),
              "timed out looking up the GNTP server slow.example");
  }
  EXPECT_EQ(*calls, 1);
}

// Addresses of two loopback ports: the first drops every connection attempt,
// as a listener whose queue is full does; the second is `server`'s.
TEST(ConnectFirst, StartsTheNextAttemptWhenOneHangs) {
  FakeServer server({{.bytes = std::string(kOk)}});
  const NativeSocket full = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(::bind(full, reinterpret_cast<sockaddr*>(&address), length), 0);
  ASSERT_EQ(::listen(full, 0), 0);
  ::getsockname(full, reinterpret_cast<sockaddr*>(&address), &length);
  std::vector<Socket> queued;
  for (int i = 0; i < 4; ++i) {  // Fills the listener's queue.
    int error = 0;
    queued.push_back(open_socket(AF_INET, error));
    // In progress, or queued: either way the queue fills.
    start_connect(queued.back(), reinterpret_cast<sockaddr*>(&address), length, error);
  }
  Address hanging{.length = length, .family = AF_INET};
  std::memcpy(&hanging.storage, &address, length);
  Address good = hanging;
  reinterpret_cast<sockaddr_in&>(good.storage).sin_port = htons(std::stoi(server.port()));

  const auto deadline = std::chrono::steady_clock::now() + 3s;
  const Socket socket = connect_first({hanging, good}, deadline, 100ms, "test");
  sockaddr_in peer{};
  socklen_t peer_length = sizeof peer;
  ::getpeername(static_cast<NativeSocket>(socket.get()), reinterpret_cast<sockaddr*>(&peer),
                &peer_length);
  EXPECT_EQ(ntohs(peer.sin_port), std::stoi(server.port()));
  close_socket(full);
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
  FakeServer server({{.bytes = std::string(kOk)}, {.bytes = std::string(kOk)}}, AF_INET6);
  if (!server.ok()) GTEST_SKIP() << "no IPv6 loopback here";
  GrowlNotifier(kApplication, settings_for(server, "::1")).register_app();
  GrowlNotifier(kApplication, settings_for(server, "[::1]")).register_app();
}

TEST(Settings, ComeFromTheEnvironment) {
  set_environment("GNTP_HOST", "gntp.example");
  set_environment("GNTP_PORT", "");
  unset_environment("GNTP_PASSWORD");
  Settings settings = Settings::from_environment();
  EXPECT_EQ(settings.host, "gntp.example");
  EXPECT_EQ(settings.port, "23053");
  EXPECT_EQ(settings.password, "");
  for (const char* port : {"0", "65536", "http", "-1", "999999"}) {
    set_environment("GNTP_PORT", port);
    EXPECT_THAT(failure_of([] { Settings::from_environment(); }), StartsWith("GNTP_PORT must"));
  }
  unset_environment("GNTP_HOST");
  unset_environment("GNTP_PORT");
}

}  // namespace
}  // namespace nembit::gntp
