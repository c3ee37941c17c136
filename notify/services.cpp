// The notifiers of the component: a GNTP client, and the desktop's own
// notification service through the module, behind the choice between them.
#include "notify/services.h"

#include "common/environment.h"
#include "notify/desktop_notifier.h"
#include "notify/desktop_service.h"
#include "notify/gntp/growl_notifier.h"
#include "notify/paced_notifier.h"
#include "notify/selecting_notifier.h"

namespace nembit::notify {

namespace {

std::unique_ptr<Notifier> make_gntp(const Application& application) {
  return std::make_unique<gntp::GrowlNotifier>(application);
}

// The desktop's service, through the module, which is loaded only now. Its
// notices go at the service's pace: one that takes each in milliseconds
// would hold up a run of many files.
std::unique_ptr<Notifier> make_desktop(const Application& application) {
  std::string error;
  const NembitDesktopApi* api = desktop_service(error);
  if (api == nullptr) throw Error(error);
  return std::make_unique<PacedNotifier>(std::make_unique<DesktopNotifier>(application, *api));
}

}  // namespace

NotifierFactory service_notifier_factory(NotifierChoice choice,
                                         const std::vector<std::string>& warnings) {
  return [choice, warnings](Application application) -> std::unique_ptr<Notifier> {
    return std::make_unique<SelectingNotifier>(std::move(application), choice,
                                               is_set("GNTP_HOST") || is_set("GNTP_PORT"),
                                               make_gntp, make_desktop, warnings);
  };
}

}  // namespace nembit::notify
