#include "notify/gntp/growl_notifier.h"

#include <array>

#include "notify/gntp/crypto.h"
#include "notify/gntp/message.h"

namespace nembit::gntp {

GrowlNotifier::GrowlNotifier(notify::Application application, Settings settings)
    : application_(std::move(application)),
      settings_(std::move(settings)),
      budget_("the GNTP server", settings_.budget) {}

void GrowlNotifier::register_app() {
  send([&] { return register_request(application_, key()); });
}

void GrowlNotifier::notify(const notify::Note& note) {
  send([&] { return notify_request(application_.applicationName, note, key()); });
}

void GrowlNotifier::send(const std::function<std::string()>& compose) {
  const std::string reply =
      budget_.run<notify::TimeoutError>(settings_.timeout, [&](std::chrono::milliseconds limit) {
        const RunClock::time_point deadline = RunClock::now() + limit;
        try {
          return exchange(settings_, addresses_, compose(), deadline);
        } catch (const notify::TimeoutError& error) {
          throw notify::TimeoutError(budget_.time_out(error.what()));
        }
      });
  check_reply(reply);
}

std::string GrowlNotifier::key() const {
  if (settings_.password.empty()) return {};
  std::array<unsigned char, 16> salt{};
  random_bytes(salt);
  return key_part(settings_.password, salt);
}

}  // namespace nembit::gntp
