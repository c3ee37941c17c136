// A GNTP/1.0 client over TCP.
#pragma once

#include <chrono>
#include <string>

#include "gntp/notifier.h"

namespace gntp {

/// Where and how a GrowlNotifier reaches its server.
struct Settings {
  std::string host = "localhost";
  std::string port = "23053";
  /// The server's password; none when empty.
  std::string password;
  /// The longest that one request may take, from connecting to the reply.
  std::chrono::milliseconds timeout = std::chrono::seconds(5);
  /// Replies longer than this are refused.
  size_t max_reply = size_t{64} * 1024;

  /// The settings that the environment gives: GNTP_HOST, GNTP_PORT and
  /// GNTP_PASSWORD, each falling back to the default when unset or empty.
  /// Throws Error when GNTP_PORT is no port number.
  static Settings from_environment();
};

/// Registers an application with a GNTP server and sends its notifications,
/// one connection per request. With a password, every request carries a
/// SHA-256 key hash with a fresh random salt.
class GrowlNotifier : public Notifier {
 public:
  explicit GrowlNotifier(Application application, Settings settings = Settings::from_environment());

  void register_app() override;
  void notify(const Note& note) override;

 private:
  std::string key() const;

  Application application_;
  Settings settings_;
};

}  // namespace gntp
