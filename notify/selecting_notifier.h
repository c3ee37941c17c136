// The choice, once per notifier, between a GNTP server and the desktop's own
// notification service.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "nembit/notifier.h"
#include "notify/choice.h"

namespace nembit::notify {

/// Makes the notifier of one kind for an application; throws Error when it
/// cannot.
using NotifierMaker = std::function<std::unique_ptr<Notifier>(const Application&)>;

/// Chooses, at registration, where the application's notices go for the rest
/// of its life, and sends them there. With kAuto it registers with the GNTP
/// server; only when that connection is refused on every address, and no
/// GNTP server was asked for by name (`gntp_asked_for`), does it turn to
/// the desktop's service, and when that fails too, the GNTP failure is the
/// one reported.
class SelectingNotifier : public Notifier {
 public:
  SelectingNotifier(Application application, NotifierChoice choice, bool gntp_asked_for,
                    NotifierMaker make_gntp, NotifierMaker make_desktop,
                    std::vector<std::string> warnings = {});

  void register_app() override;
  void notify(const Note& note) override;
  void flush() override;
  std::vector<std::string> warnings() const override { return warnings_; }

 private:
  void register_with_gntp();

  Application application_;
  NotifierChoice choice_;
  bool gntp_asked_for_;
  NotifierMaker make_gntp_;
  NotifierMaker make_desktop_;
  std::vector<std::string> warnings_;
  std::unique_ptr<Notifier> chosen_;
};

}  // namespace nembit::notify
