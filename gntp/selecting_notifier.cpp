#include "gntp/selecting_notifier.h"

#include <string_view>

#include "common/escape.h"
#include "gntp/connection.h"

namespace nembit::gntp {

NotifierChoice notifier_choice(const char* value, std::string& warning) {
  const std::string_view text = value != nullptr ? value : "";
  if (text == "gntp") return NotifierChoice::kGntp;
  if (text == "desktop") return NotifierChoice::kDesktop;
  if (!text.empty() && text != "auto") {
    warning =
        "NEMBIT_NOTIFIER must be gntp, desktop or auto, not " + quoted(text) + "; auto is used";
  }
  return NotifierChoice::kAuto;
}

SelectingNotifier::SelectingNotifier(Application application, NotifierChoice choice,
                                     bool gntp_asked_for, NotifierMaker make_gntp,
                                     NotifierMaker make_desktop, std::vector<std::string> warnings)
    : application_(std::move(application)),
      choice_(choice),
      gntp_asked_for_(gntp_asked_for),
      make_gntp_(std::move(make_gntp)),
      make_desktop_(std::move(make_desktop)),
      warnings_(std::move(warnings)) {}

void SelectingNotifier::register_app() {
  chosen_.reset();
  if (choice_ == NotifierChoice::kDesktop) {
    auto desktop = make_desktop_(application_);
    desktop->register_app();
    chosen_ = std::move(desktop);
    return;
  }
  if (choice_ == NotifierChoice::kGntp || gntp_asked_for_) {
    register_with_gntp();
    return;
  }
  try {
    register_with_gntp();
  } catch (const RefusedError& refused) {
    try {
      auto desktop = make_desktop_(application_);
      desktop->register_app();
      chosen_ = std::move(desktop);
    } catch (const std::exception&) {
      throw refused;  // Nobody listens for GNTP: that stays the reason.
    }
  }
}

void SelectingNotifier::register_with_gntp() {
  auto gntp = make_gntp_(application_);
  gntp->register_app();
  chosen_ = std::move(gntp);
}

void SelectingNotifier::notify(const Note& note) {
  if (!chosen_) throw Error("not registered with a notification service");
  chosen_->notify(note);
}

}  // namespace nembit::gntp
