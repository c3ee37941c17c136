#include <cstdlib>

#include "gntp/desktop_module.h"
#include "gntp/desktop_notifier.h"
#include "gntp/growl_notifier.h"
#include "gntp/selecting_notifier.h"

namespace nembit::gntp {

namespace {

bool is_set(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

std::unique_ptr<Notifier> make_gntp(const Application& application) {
  return std::make_unique<GrowlNotifier>(application);
}

// The desktop's service, through the module, which is loaded only now.
std::unique_ptr<Notifier> make_desktop(const Application& application) {
  std::string error;
  const NembitDesktopApi* api = load_desktop_module(error);
  if (api == nullptr) throw Error(error);
  return std::make_unique<DesktopNotifier>(application, *api);
}

}  // namespace

NotifierFactory notifier_factory() {
  return [](Application application) -> std::unique_ptr<Notifier> {
    std::string warning;
    const NotifierChoice choice = notifier_choice(std::getenv("NEMBIT_NOTIFIER"), warning);
    std::vector<std::string> warnings;
    if (!warning.empty()) warnings.push_back(warning);
    return std::make_unique<SelectingNotifier>(std::move(application), choice,
                                               is_set("GNTP_HOST") || is_set("GNTP_PORT"),
                                               make_gntp, make_desktop, std::move(warnings));
  };
}

}  // namespace nembit::gntp
