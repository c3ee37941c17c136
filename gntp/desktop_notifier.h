// Notices through the desktop's own notification service, as the module
// nembit-desktop reaches it.
#pragma once

#include <chrono>
#include <string>

#include "common/time_budget.h"
#include "desktop/module.h"
#include "nembit/notifier.h"

namespace nembit::gntp {

/// Sends an application's notifications to the desktop's notification
/// service through the module's interface `api`. register_app() connects to
/// the session bus and asks the service for its capabilities; each notice
/// is then one Notify call, with the title as summary and the description
/// as body (escaped when the service reads markup). Each call may take
/// `timeout`, and all of them together `budget`; once a call has timed out
/// or the budget is spent, every later one fails at once with the same error.
class DesktopNotifier : public Notifier {
 public:
  DesktopNotifier(Application application, const NembitDesktopApi& api,
                  std::chrono::milliseconds timeout = std::chrono::seconds(5),
                  std::chrono::milliseconds budget = std::chrono::seconds(10));
  DesktopNotifier(const DesktopNotifier&) = delete;
  DesktopNotifier& operator=(const DesktopNotifier&) = delete;
  ~DesktopNotifier() override;

  void register_app() override;
  void notify(const Note& note) override;

 private:
  void ensure_time_left();
  /// Throws for a call that ended with `status` other than success.
  void check(int status, const char* error);

  Application application_;
  const NembitDesktopApi& api_;
  std::chrono::milliseconds timeout_;
  TimeBudget budget_;
  NembitDesktop* desktop_ = nullptr;
  bool body_markup_ = false;
};

/// `text` with "&", "<" and ">" written as entities, as a body that the
/// service reads as markup shows it as it stands.
std::string markup_escaped(std::string_view text);

/// The urgency that a notice of `priority` (-2 to 2) is sent with.
unsigned char urgency_of(int priority);

}  // namespace nembit::gntp
