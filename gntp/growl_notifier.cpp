#include "gntp/growl_notifier.h"

#include <array>

#include "gntp/connection.h"
#include "gntp/crypto.h"
#include "gntp/message.h"

namespace nembit::gntp {

GrowlNotifier::GrowlNotifier(Application application, Settings settings)
    : application_(std::move(application)), settings_(std::move(settings)) {}

void GrowlNotifier::register_app() {
  if (!timed_out_.empty()) throw TimeoutError(timed_out_);
  send(register_request(application_, key()));
}

void GrowlNotifier::notify(const Note& note) {
  if (!timed_out_.empty()) throw TimeoutError(timed_out_);
  send(notify_request(application_.applicationName, note, key()));
}

void GrowlNotifier::send(std::string_view request) {
  try {
    check_reply(gntp::exchange(settings_, addresses_, request));
  } catch (const TimeoutError& error) {
    timed_out_ = error.what();
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
