#include "notify/choice.h"

#include <string_view>

#include "common/escape.h"

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

}  // namespace nembit::notify
