#include "notify/gntp/growl_notifier.h"

#include <array>
#include <random>

#include "common/hex.h"
#include "notify/gntp/crypto.h"
#include "notify/gntp/message.h"

namespace nembit::gntp {

namespace {

// "nembit-" and 16 random hexadecimal digits: no other run's notices begin so.
std::string unique_prefix() {
  std::random_device random;
  std::string prefix = "nembit-";
  for (int i = 0; i < 2; ++i) append_hex(prefix, random(), 8, HexCase::kLower);
  return prefix;
}

}  // namespace

GrowlNotifier::GrowlNotifier(notify::Application application, Settings settings)
    : application_(std::move(application)),
      settings_(std::move(settings)),
      budget_("the GNTP server", settings_.budget),
      id_prefix_(unique_prefix()) {}

void GrowlNotifier::register_app() {
  send([&] { return register_request(application_, key()); });
}

void GrowlNotifier::notify(const notify::Note& note) {
  if (ended_) return;
  const NoticeIds ids{.id = id_prefix_ + "-" + std::to_string(++sent_), .replaces = first_id_};
  if (first_id_.empty()) first_id_ = ids.id;
  try {
    send([&] { return notify_request(application_.applicationName, note, key(), ids); });
  } catch (const notify::RefusedError&) {
    ended_ = true;
    throw;
  } catch (const notify::TimeoutError&) {
    ended_ = true;
    throw;
  }
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
