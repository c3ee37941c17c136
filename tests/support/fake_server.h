// Test support: a GNTP server on loopback that answers each connection as
// its script says and keeps what it received.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace nembit {

class FakeServer {
 public:
  /// What the server does once it has read a request: answers with
  /// `bytes`, waits without answering, sends `bytes` one byte every 50 ms,
  /// closes without an answer, answers and keeps the connection open, or
  /// answers after `delay`.
  enum class Reply { kScripted, kSilent, kTrickle, kCloseAtOnce, kKeepOpen, kDelayed };
  struct Step {
    Reply kind = Reply::kScripted;
    std::string bytes;
    std::chrono::milliseconds delay{0};
  };

  /// Listens on 127.0.0.1, or on ::1 with `ipv6`, on a port of its own.
  explicit FakeServer(std::vector<Step> steps, bool ipv6 = false);
  FakeServer(const FakeServer&) = delete;
  FakeServer& operator=(const FakeServer&) = delete;
  ~FakeServer();

  /// Whether the server listens.
  bool ok() const;
  std::string port() const;
  /// The requests received, once the server has stopped.
  const std::vector<std::string>& requests();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace nembit
