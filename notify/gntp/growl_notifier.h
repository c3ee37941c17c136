// A GNTP/1.0 client over TCP.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "common/time_budget.h"
#include "nembit/notifier.h"
#include "notify/gntp/connection.h"

namespace nembit::gntp {

/// Registers an application with a GNTP server and sends its notifications,
/// one connection per request. After a notice that failed for good (the
/// server refused it, having gone since the registration, or it timed out),
/// the server is not asked again: later notices are dropped without a word.
/// Each notice has an id of its own, and each after the first asks the
/// server to show it in the first's place, so that a server that honours it
/// keeps one notice on screen. With a password, every request carries a
/// SHA-256 key hash with a fresh random salt. Each request may take
/// `settings.timeout`, and all of them together `settings.budget`, which a
/// request that crosses it times out with: a stalled or slow server costs a
/// bounded wait.
class GrowlNotifier : public notify::Notifier {
 public:
  explicit GrowlNotifier(notify::Application application,
                         Settings settings = Settings::from_environment());

  void register_app() override;
  void notify(const notify::Note& note) override;

 private:
  std::string key() const;
  /// Sends the request that `compose` makes, unless the budget refuses it,
  /// and checks the reply.
  void send(const std::function<std::string()>& compose);

  notify::Application application_;
  Settings settings_;
  TimeBudget budget_;
  /// What every notice id of this notifier begins with, unique to it.
  std::string id_prefix_;
  /// How many notices it has sent; the id of the first.
  unsigned long sent_ = 0;
  std::string first_id_;
  /// Whether a notice failed for good, which ends the notices.
  bool ended_ = false;
  /// The server's addresses, looked up by the first request that needed
  /// them, the one that answered last first.
  std::vector<Address> addresses_;
};

}  // namespace nembit::gntp
