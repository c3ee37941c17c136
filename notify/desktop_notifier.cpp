#include "notify/desktop_notifier.h"

#include <array>
#include <utility>

#include "common/escape.h"
#include "common/run_clock.h"
#include "common/stop_signals.h"

namespace nembit::notify {

namespace {

constexpr const char* kTimedOut = "timed out talking to the desktop notification service";

// What the module asks before each wait: how long it may wait now, or -1
// once a stop signal has come.
long wait_within(void* deadline) {
  if (stop_signal() != 0) return -1;
  return static_cast<long>(wait_slice(*static_cast<RunClock::time_point*>(deadline)).count());
}

// `text` with "&", "<" and ">" written as entities, as a body that the
// service reads as markup shows it as it stands.
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

// The urgency that a notice of `priority` (-2 to 2) is sent with.
unsigned char urgency_of(int priority) {
  // Low for the priorities below normal; every other one is normal, never
  // critical: servers keep a critical notice on screen until it is
  // dismissed, which would make a notice that is not sticky stay.
  return priority < 0 ? 0 : 1;
}

}  // namespace

DesktopNotifier::DesktopNotifier(Application application, const NembitDesktopApi& api,
                                 std::chrono::milliseconds timeout)
    : application_(std::move(application)), api_(api), timeout_(timeout) {}

DesktopNotifier::~DesktopNotifier() { api_.close(desktop_); }

template <typename Call>
void DesktopNotifier::run(const Call& call) {
  std::array<char, 512> error{};
  RunClock::time_point deadline = RunClock::now() + timeout_;
  const int status = call(wait_within, &deadline, error);
  switch (status) {
    case NEMBIT_DESKTOP_OK:
      return;
    case NEMBIT_DESKTOP_STOPPED:
      throw Interrupted{stop_signal()};
    case NEMBIT_DESKTOP_TIMED_OUT:
      throw TimeoutError(kTimedOut);
    default:
      throw Error(printable_text(error.data()));
  }
}

void DesktopNotifier::register_app() {
  api_.close(std::exchange(desktop_, nullptr));
  int body_markup = 0;
  run([&](NembitDesktopWait wait, void* context, std::array<char, 512>& error) {
    int status = NEMBIT_DESKTOP_FAILED;
    desktop_ = api_.open(wait, context, &body_markup, &status, error.data(), error.size());
    return desktop_ != nullptr ? NEMBIT_DESKTOP_OK : status;
  });
  body_markup_ = body_markup != 0;
}

void DesktopNotifier::notify(const Note& note) {
  if (desktop_ == nullptr) throw Error("not registered with the desktop notification service");
  const std::string shown = printable_text(note.description);
  const std::string body = body_markup_ ? markup_escaped(shown) : shown;
  const NembitDesktopNote desktop_note{
      .app_name = application_.applicationName.c_str(),
      .replaces_id = last_id_,
      .app_icon = note.icon.c_str(),
      .summary = note.title.c_str(),
      .body = body.c_str(),
      .urgency = urgency_of(note.priority),
      .expire_timeout = note.sticky ? 0 : -1,  // Sticky, or the server's own time.
  };
  run([&](NembitDesktopWait wait, void* context, std::array<char, 512>& error) {
    return api_.notify(desktop_, &desktop_note, &last_id_, wait, context, error.data(),
                       error.size());
  });
}

}  // namespace nembit::notify
