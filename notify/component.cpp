// The notices component's entry: the notifiers that notices go to, as the
// setting asks.
#include <vector>

#include "common/environment.h"
#include "notify/choice.h"
#include "notify/services.h"

namespace nembit::notify {

NotifierFactory notifier_factory() {
  std::string warning;
  const NotifierChoice choice = notifier_choice(system_getenv("NEMBIT_NOTIFIER"), warning);
  if (choice == NotifierChoice::kNone) {
    return [](const Application&) -> std::unique_ptr<Notifier> { return nullptr; };
  }
  std::vector<std::string> warnings;
  if (!warning.empty()) warnings.push_back(std::move(warning));
  return service_notifier_factory(choice, warnings);
}

}  // namespace nembit::notify
