// Notices through the desktop's own notification service, as the module
// nembit-desktop reaches it.
#pragma once

#include <chrono>
#include <string>

#include "common/time_limits.h"
#include "nembit/notifier.h"
#include "notify/desktop/module.h"

namespace nembit::notify {

/// Sends an application's notifications to the desktop's notification
/// service through the module's interface `api`. register_app() connects to
/// the session bus and asks the service for its capabilities; each notice
/// is then one Notify call, with the title as summary and the description
/// as body, shown as the terminal shows a name (control characters and
/// bytes that are no UTF-8 escaped) and escaped again where the service
/// reads markup. Each notice takes the place of the one before it, so that a
/// run leaves one notice on screen. Each call may take `timeout`, and fails
/// with TimeoutError when it takes longer.
class DesktopNotifier : public Notifier {
 public:
  DesktopNotifier(Application application, const NembitDesktopApi& api,
                  std::chrono::milliseconds timeout = kCallLimit);
  DesktopNotifier(const DesktopNotifier&) = delete;
  DesktopNotifier& operator=(const DesktopNotifier&) = delete;
  ~DesktopNotifier() override;

  void register_app() override;
  void notify(const Note& note) override;

 private:
  /// Runs `call`, handing the module how long it may wait; throws for a
  /// status other than success.
  template <typename Call>
  void run(const Call& call);

  Application application_;
  const NembitDesktopApi& api_;
  std::chrono::milliseconds timeout_;
  NembitDesktop* desktop_ = nullptr;
  bool body_markup_ = false;
  unsigned int last_id_ = 0;  ///< The notice on screen, which the next replaces.
};

}  // namespace nembit::notify
