// The notification component: what a program registers with a desktop
// notification service and sends it, and the interface through which it
// does so.
#pragma once

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace nembit::notify {

/// An application as it registers: its name, its notification types, the
/// types switched on by default, and its icon as a URL (empty for none).
struct Application {
  std::string applicationName;
  std::vector<std::string> notifications;
  std::vector<std::string> defaultNotifications;
  std::string applicationIcon;
};

/// One notification of a registered type; `icon` is a URL, empty for none.
struct Note {
  std::string noteType;
  std::string title;
  std::string description;
  std::string icon;
  bool sticky = false;
  int priority = 0;
};

/// A failed registration or notification; what() is one line.
class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// A request that did not finish in time.
class TimeoutError : public Error {
 public:
  using Error::Error;
};

/// A service that nobody runs: nothing listens where it should be, or it
/// cannot be reached from this machine.
class RefusedError : public Error {
 public:
  using Error::Error;
};

/// Registers one application and sends its notifications. Every call throws
/// Error on failure, and nembit::Interrupted when the process is asked to
/// stop meanwhile.
class Notifier {
 public:
  virtual ~Notifier() = default;

  /// Declares the application and its notification types to the service.
  virtual void register_app() = 0;

  /// Shows one notification. It may return before the service has it:
  /// notices to the desktop's own service go out on a thread of their own,
  /// one at a time, a newer notice taking the place of one that has not
  /// begun; a failure is then thrown by the next notify() or by flush().
  virtual void notify(const Note& note) = 0;

  /// Waits until the last notice is shown, or has failed, within the
  /// notifier's time limits, and throws as notify() does. The destructor
  /// waits too, unless a stop signal has come.
  virtual void flush() {}

  /// What the program should tell the user about how the notifier was
  /// set up, such as a setting it did not understand; one line each.
  virtual std::vector<std::string> warnings() const { return {}; }
};

/// Makes a notifier for an application, or none (null) when the user wants
/// no notices; it throws Error when the settings it reads are wrong.
using NotifierFactory = std::function<std::unique_ptr<Notifier>(Application)>;

/// The notifiers of this system, as the environment configures them: a
/// GNTP client, or the desktop's own notification service where no GNTP
/// server listens, as NEMBIT_NOTIFIER asks (see the README), which is read
/// now; none at all when it is "none". Empty when nembit was built without
/// the component, unless NEMBIT_NOTIFIER is "none".
NotifierFactory notifier_factory();

}  // namespace nembit::notify
