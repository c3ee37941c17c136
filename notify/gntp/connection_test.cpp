#include "notify/gntp/connection.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <map>

#include "common/system_error.h"
#include "tests/support/environment.h"
#include "tests/support/failure_of.h"

namespace nembit::gntp {
namespace {

using ::testing::ElementsAre;
using ::testing::StartsWith;
using namespace std::chrono_literals;

// The errors of a connection to an address that this machine cannot reach,
// and of one that failed otherwise, whose peer is there.
#if defined(_WIN32)
constexpr int kUnreachable = -10049;  // WSAEADDRNOTAVAIL, negated as the socket layer has it.
constexpr int kFailure = -10013;      // WSAEACCES
#else
constexpr int kUnreachable = EADDRNOTAVAIL;
constexpr int kFailure = EACCES;
#endif

// A socket layer whose addresses (told apart by their first byte) hang,
// refuse or accept, and which records the order of the attempts.
class FakeSockets : public Sockets {
 public:
  enum class Peer { kHang, kRefuse, kRefuseLater, kUnreachable, kFail, kAccept };

  Address add(Peer peer, Family family) {
    Address address{.length = 1, .family = family};
    address.bytes[0] = static_cast<std::byte>(peers_.size());
    peers_.push_back(peer);
    return address;
  }
  const std::vector<int>& attempts() const { return attempts_; }

  Socket open(Family /*family*/, int& /*error*/) override { return {*this, next_handle_++}; }
  Connecting start_connect(const Socket& socket, const Address& address, int& error) override {
    const int peer = static_cast<int>(address.bytes[0]);
    attempts_.push_back(peer);
    connecting_[socket.get()] = peer;
    if (peers_[peer] == Peer::kRefuse || peers_[peer] == Peer::kUnreachable ||
        peers_[peer] == Peer::kFail) {
      error = peers_[peer] == Peer::kRefuse        ? refused_error()
              : peers_[peer] == Peer::kUnreachable ? kUnreachable
                                                   : kFailure;
      return Connecting::kFailed;
    }
    return Connecting::kUnderWay;
  }
  int wait(std::vector<Wait>& waits, int milliseconds) override {
    bool any = false;
    for (Wait& wait : waits) {
      const auto peer = connecting_.find(wait.socket->get());
      wait.ready = !wait.write ||
                   (peer != connecting_.end() && (peers_[peer->second] == Peer::kAccept ||
                                                  peers_[peer->second] == Peer::kRefuseLater));
      any = any || wait.ready;
    }
    if (!any) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    return 0;
  }
  int connect_error(const Socket& socket) override {
    return peers_[connecting_.at(socket.get())] == Peer::kRefuseLater ? refused_error() : 0;
  }
  long send_some(const Socket& /*socket*/, std::string_view data, int& /*error*/) override {
    return static_cast<long>(data.size());
  }
  long receive_some(const Socket& /*socket*/, char* buffer, size_t size, int& /*error*/) override {
    const std::string_view reply = "GNTP/1.0 -OK NONE\r\n\r\n";
    const size_t length = std::min(size, reply.size());
    reply.copy(buffer, length);
    return static_cast<long>(length);
  }
  void close(intptr_t /*handle*/) override {}

 private:
  std::vector<Peer> peers_;
  std::vector<int> attempts_;
  std::map<intptr_t, int> connecting_;  // The peer of each socket.
  intptr_t next_handle_ = 0;
};

TEST(ConnectFirst, StaggersAttemptsAcrossFamilies) {
  using enum FakeSockets::Peer;
  using Clock = RunClock;
  FakeSockets sockets;
  const std::vector<Address> addresses = {sockets.add(kHang, Family::kIPv6),
                                          sockets.add(kHang, Family::kIPv6),
                                          sockets.add(kAccept, Family::kIPv4)};
  const Connection connection = connect_first(sockets, addresses, Clock::now() + 2s, 20ms, "test");
  EXPECT_EQ(connection.address, 2U);
  EXPECT_THAT(sockets.attempts(), ElementsAre(0, 2));  // The IPv4 address comes second.

  // A refused attempt makes way for the next at once, without the delay,
  // also when the refusal comes while it waits, and while an earlier one
  // still waits.
  for (const FakeSockets::Peer refuse : {kRefuse, kRefuseLater}) {
    FakeSockets refusing;
    const std::vector<Address> two = {refusing.add(refuse, Family::kIPv4),
                                      refusing.add(kAccept, Family::kIPv4)};
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(connect_first(refusing, two, start + 2s, 1s, "test").address, 1U);
    EXPECT_LT(Clock::now() - start, 500ms);
  }
  FakeSockets staggered;
  const std::vector<Address> three = {staggered.add(kHang, Family::kIPv4),
                                      staggered.add(kRefuseLater, Family::kIPv4),
                                      staggered.add(kAccept, Family::kIPv4)};
  const Clock::time_point start = Clock::now();
  EXPECT_EQ(connect_first(staggered, three, start + 5s, 1s, "test").address, 2U);
  EXPECT_LT(Clock::now() - start, 1500ms);
}

TEST(ConnectFirst, FindsNobodyListeningOnlyWhenNoAddressCouldAnswer) {
  using enum FakeSockets::Peer;
  const auto outcome = [](const std::vector<FakeSockets::Peer>& peers) -> std::string {
    FakeSockets sockets;
    std::vector<Address> addresses;
    addresses.reserve(peers.size());
    for (const FakeSockets::Peer peer : peers)
      addresses.push_back(sockets.add(peer, Family::kIPv6));
    try {
      connect_first(sockets, addresses, RunClock::now() + 200ms, 20ms, "test");
    } catch (const notify::RefusedError& error) {
      return std::string("nobody listens: ") + error.what();
    } catch (const notify::TimeoutError&) {
      return "timed out";
    } catch (const notify::Error&) {
      return "failed";
    }
    return "connected";
  };
  const std::string refused = "nobody listens: " + errno_text(refused_error());
  EXPECT_EQ(outcome({kUnreachable, kRefuse}), refused);  // IPv6 off, nobody on IPv4.
  EXPECT_EQ(outcome({kRefuse, kUnreachable}), refused);
  EXPECT_EQ(outcome({kRefuse, kRefuseLater}), refused);
  EXPECT_EQ(outcome({kHang, kRefuse}), "timed out");  // One that hangs may yet answer.
  EXPECT_EQ(outcome({kFail, kRefuse}), "failed");     // One that failed otherwise is there.
}

TEST(Exchange, TriesTheAddressThatAnsweredFirstNextTime) {
  using enum FakeSockets::Peer;
  FakeSockets sockets;
  Settings settings;
  settings.sockets = &sockets;
  settings.attempt_delay = 20ms;
  std::vector<Address> addresses = {sockets.add(kHang, Family::kIPv4),
                                    sockets.add(kAccept, Family::kIPv4)};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(exchange(settings, addresses, "x", RunClock::now() + 2s),
              "GNTP/1.0 -OK NONE\r\n\r\n");
  }
  EXPECT_THAT(sockets.attempts(), ElementsAre(0, 1, 1, 1));
}

TEST(Resolver, AnswersLocalhostItselfAndLooksOnlyNamesUp) {
  const Resolver no_resolver = [](const std::string& host, const std::string&) {
    ADD_FAILURE() << "a resolver was asked for " << host;
    return std::vector<Address>();
  };
  const auto deadline = RunClock::now() + std::chrono::seconds(5);
  for (const char* host : {"localhost", "LocalHost.", "[::1]", "127.0.0.1"}) {
    const std::vector<Address> found = resolve_within(host, "23053", no_resolver, deadline);
    ASSERT_FALSE(found.empty()) << host;
    EXPECT_EQ(found.size(), std::string(host).starts_with("127") ? 1U : host[0] == '[' ? 1U : 2U);
  }
  EXPECT_EQ(resolve_within("localhost", "1", no_resolver, deadline).front().family, Family::kIPv6);
  EXPECT_FALSE(is_localhost("localhost.example"));
  // The system's lookup takes a name only when asked to look names up.
  std::vector<Address> found;
  EXPECT_NE(lookup_addresses("localhost", "1", /*numeric_only=*/true, found), 0);
  EXPECT_EQ(lookup_addresses("localhost", "1", /*numeric_only=*/false, found), 0);
  EXPECT_FALSE(found.empty());
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
