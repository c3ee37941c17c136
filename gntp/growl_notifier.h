// A GNTP/1.0 client over TCP.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "gntp/connection.h"
#include "gntp/notifier.h"

namespace nembit::gntp {

/// Registers an application with a GNTP server and sends its notifications,
/// one connection per request. With a password, every request carries a
/// SHA-256 key hash with a fresh random salt. Once a request has timed out,
/// every later one fails at once with the same error: a stalled server
/// costs one wait.
class GrowlNotifier : public Notifier {
 public:
  explicit GrowlNotifier(Application application, Settings settings = Settings::from_environment());

  void register_app() override;
  void notify(const Note& note) override;

 private:
  std::string key() const;
  void send(std::string_view request);

  Application application_;
  Settings settings_;
  /// The server's addresses, looked up by the first request that needed them.
  std::vector<Address> addresses_;
  std::string timed_out_;  ///< The error of the request that timed out, if one did.
};

}  // namespace nembit::gntp
