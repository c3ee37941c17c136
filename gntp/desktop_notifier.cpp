#include "gntp/desktop_notifier.h"

#include <array>

#include "common/stop_signals.h"

namespace nembit::gntp {

namespace {

constexpr const char* kTimedOut = "timed out talking to the desktop notification service";

int stop_requested() { return stop_signal() != 0 ? 1 : 0; }

}  // namespace

std::string markup_escaped(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (const char c : text) {
    if (c == '&') {
      escaped += "&amp;";
    } else if (c == '<') {
      escaped += "&lt;";
    } else if (c == '>') {
      escaped += "&gt;";
    } else {
      escaped += c;
    }
  }
  return escaped;
}

unsigned char urgency_of(int priority) {
  // Low for the priorities below normal; every other one is normal, never
  // critical: servers keep a critical notice on screen until it is
  // dismissed, which would make a notice that is not sticky stay.
  return priority < 0 ? 0 : 1;
}

DesktopNotifier::DesktopNotifier(Application application, const NembitDesktopApi& api,
                                 std::chrono::milliseconds timeout,
                                 std::chrono::milliseconds budget)
    : application_(std::move(application)),
      api_(api),
      timeout_(timeout),
      budget_(budget, "the desktop notification service") {}

DesktopNotifier::~DesktopNotifier() { api_.close(desktop_); }

void DesktopNotifier::ensure_time_left() {
  if (const std::string_view stopped = budget_.stopped(); !stopped.empty()) {
    throw TimeoutError(std::string(stopped));
  }
}

void DesktopNotifier::check(int status, const char* error) {
  switch (status) {
    case NEMBIT_DESKTOP_OK:
      return;
    case NEMBIT_DESKTOP_STOPPED:
      throw Interrupted{stop_signal()};
    case NEMBIT_DESKTOP_TIMED_OUT:
      budget_.stop(kTimedOut);
      throw TimeoutError(kTimedOut);
    default:
      throw Error(error);
  }
}

void DesktopNotifier::register_app() {
  ensure_time_left();
  std::array<char, 512> error{};
  int status = NEMBIT_DESKTOP_FAILED;
  int body_markup = 0;
  api_.close(std::exchange(desktop_, nullptr));
  desktop_ = budget_.run(timeout_, [&](std::chrono::milliseconds limit) {
    return api_.open(limit.count(), stop_requested, &body_markup, &status, error.data(),
                     error.size());
  });
  check(desktop_ != nullptr ? NEMBIT_DESKTOP_OK : status, error.data());
  body_markup_ = body_markup != 0;
}

void DesktopNotifier::notify(const Note& note) {
  ensure_time_left();
  if (desktop_ == nullptr) throw Error("not registered with the desktop notification service");
  const std::string body = body_markup_ ? markup_escaped(note.description) : note.description;
  const NembitDesktopNote desktop_note{
      .app_name = application_.applicationName.c_str(),
      .app_icon = note.icon.c_str(),
      .summary = note.title.c_str(),
      .body = body.c_str(),
      .urgency = urgency_of(note.priority),
      .expire_timeout = note.sticky ? 0 : -1,  // Sticky, or the server's own time.
  };
  std::array<char, 512> error{};
  const int status = budget_.run(timeout_, [&](std::chrono::milliseconds limit) {
    return api_.notify(desktop_, &desktop_note, limit.count(), stop_requested, error.data(),
                       error.size());
  });
  check(status, error.data());
}

}  // namespace nembit::gntp
