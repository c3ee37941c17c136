#include "gntp/growl_notifier.h"

#include <openssl/rand.h>

#include <array>
#include <cstdlib>

#include "gntp/connection.h"
#include "gntp/message.h"

namespace gntp {

namespace {

std::string environment(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : fallback;
}

bool is_port(const std::string& text) {
  if (text.empty() || text.size() > 5 ||
      text.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  const int port = std::stoi(text);
  return port >= 1 && port <= 65535;
}

}  // namespace

Settings Settings::from_environment() {
  Settings settings;
  settings.host = environment("GNTP_HOST", "localhost");
  settings.port = environment("GNTP_PORT", "23053");
  settings.password = environment("GNTP_PASSWORD", "");
  if (!is_port(settings.port)) {
    throw Error("GNTP_PORT must be a port number from 1 to 65535, not '" + settings.port + "'");
  }
  return settings;
}

GrowlNotifier::GrowlNotifier(Application application, Settings settings)
    : application_(std::move(application)), settings_(std::move(settings)) {}

void GrowlNotifier::register_app() {
  check_reply(exchange(settings_.host, settings_.port, register_request(application_, key()),
                       settings_.timeout, settings_.max_reply));
}

void GrowlNotifier::notify(const Note& note) {
  check_reply(exchange(settings_.host, settings_.port,
                       notify_request(application_.applicationName, note, key()), settings_.timeout,
                       settings_.max_reply));
}

std::string GrowlNotifier::key() const {
  if (settings_.password.empty()) return {};
  std::array<unsigned char, 16> salt{};
  if (RAND_bytes(salt.data(), static_cast<int>(salt.size())) != 1) {
    throw Error("no random bytes for the GNTP key's salt");
  }
  return key_part(settings_.password, salt);
}

}  // namespace gntp
