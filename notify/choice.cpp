#include "notify/choice.h"

#include <string_view>

#include "common/environment.h"
#include "common/escape.h"
#include "notify/services.h"

namespace nembit::notify {

NotifierChoice notifier_choice(const char* value, std::string& warning) {
  const std::string_view text = value != nullptr ? value : "";
  if (text == "gntp") return NotifierChoice::kGntp;
  if (text == "desktop") return NotifierChoice::kDesktop;
  if (text == "none") return NotifierChoice::kNone;
  if (!text.empty() && text != "auto") {
    warning = "NEMBIT_NOTIFIER must be gntp, desktop, auto or none, not " + quoted(text) +
              "; auto is used";
  }
  return NotifierChoice::kAuto;
}

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
