#include "gntp/growl_notifier.h"

#include <array>

#include "gntp/crypto.h"
#include "gntp/message.h"

namespace nembit::gntp {

GrowlNotifier::GrowlNotifier(Application application, Settings settings)
    : application_(std::move(application)),
      settings_(std::move(settings)),
      budget_(settings_.budget, "the GNTP server") {}

void GrowlNotifier::register_app() {
  ensure_time_left();
  send(register_request(application_, key()));
}

void GrowlNotifier::notify(const Note& note) {
  ensure_time_left();
  send(notify_request(application_.applicationName, note, key()));
}

void GrowlNotifier::ensure_time_left() {
  if (const std::string_view stopped = budget_.stopped(); !stopped.empty()) {
    throw TimeoutError(std::string(stopped));
  }
}

void GrowlNotifier::send(std::string_view request) {
  try {
    const std::string reply = budget_.run(settings_.timeout, [&](std::chrono::milliseconds limit) {
      return exchange(settings_, addresses_, request, std::chrono::steady_clock::now() + limit);
    });
    check_reply(reply);
  } catch (const TimeoutError& error) {
    budget_.stop(error.what());
    throw;
  }
}

std::string GrowlNotifier::key() const {
  if (settings_.password.empty()) return {};
  std::array<unsigned char, 16> salt{};
  random_bytes(salt);
  return key_part(settings_.password, salt);
}

}  // namespace nembit::gntp
