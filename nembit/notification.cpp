// The desktop notices of FileCreator: registering the program with the
// notification service, and announcing each created file.

#include "common/escape.h"
#include "common/path.h"
#include "nembit/failure.h"
#include "nembit/file_creator.h"
#include "warning.h"

namespace nembit {

namespace {

constexpr const char* kNoteType = "create";

// The icon as the notification service gets it: the file URI of `icon_path`
// when something exists there now (after following links), otherwise empty.
std::string icon_value(DiskInterface& disk, const std::string& icon_path) {
  DiskInterface::Kind kind = DiskInterface::Kind::kNone;
  if (const int error = disk.kind_of(icon_path, kind); error != 0) {
    throw Failure::from_errno(error, "stat", icon_path);
  }
  if (kind == DiskInterface::Kind::kNone) return {};
  if (!has_root(icon_path)) {
    throw Failure("value error",
                  "relative path can't be expressed as a file URI: " + quoted(icon_path));
  }
  return file_uri(icon_path);
}

}  // namespace

void FileCreator::_init_growl() {
  try {
    growl = process_.components.make_notifier(notify::Application{
        .applicationName = process_.NAME,
        .notifications = {kNoteType},
        .defaultNotifications = {kNoteType},
        .applicationIcon = icon_value(disk_, icon_path),
    });
    if (!growl) return;  // The user wants no notices.
    for (const std::string& warning : growl->warnings()) {
      out_ << warning_line("", warning);
    }
    growl->register_app();
  } catch (const std::exception& error) {
    out_ << warning_line("Could not initialize Growl: ", error.what());
    growl.reset();
  }
}

void FileCreator::_notify(const std::string& filepath) {
  if (!growl) return;
  if (!process_.HAS_GROWL()) return;
  try {
    growl->notify(notify::Note{
        .noteType = kNoteType,
        .title = process_.NAME,
        .description = "File created: \"" + std::string(own_name(filepath)) + "\"",
        .icon = icon_value(disk_, icon_path),
        .sticky = false,
        .priority = 1,
    });
  } catch (const std::exception& error) {
    report_notice_failure(error);
  }
}

void FileCreator::report_notice_failure(const std::exception& error) {
  if (debug_requested(process_)) {
    out_ << "Notification error: " + printable_text(error.what(), kShownTextLimit) + "\n";
  }
}

}  // namespace nembit
