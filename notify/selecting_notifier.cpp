#include "notify/selecting_notifier.h"

namespace nembit::notify {

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
  } catch (const notify::RefusedError& refused) {
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

void SelectingNotifier::flush() {
  if (chosen_) chosen_->flush();
}

}  // namespace nembit::notify
