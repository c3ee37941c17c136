// The desktop notices of FileCreator: registering the program with the
// notification service, and announcing each created file.

#include "common/escape.h"
#include "common/hex.h"
#include "nembit/failure.h"
#include "nembit/file_creator.h"
#include "nembit/path.h"

namespace nembit {

namespace {

constexpr const char* kNoteType = "create";

// The file URI of an absolute path: "file://", then the path with every byte
// but ASCII letters, digits and "-._~/" (and a drive's colon) written as %XX.
std::string file_uri(const std::string& path) {
  if (!has_root(path)) {
    throw Failure("value error", "relative path can't be expressed as a file URI: " + quoted(path));
  }
  const std::string uri_part = uri_path(path);
  std::string uri = "file://";
  for (size_t at = 0; at < uri_part.size(); ++at) {
    const char c = uri_part[at];
    const auto byte = static_cast<unsigned char>(c);
    if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
        (byte >= '0' && byte <= '9') || (c == ':' && at == 2) ||
        std::string_view("-._~/").find(c) != std::string_view::npos) {
      uri += c;
    } else {
      uri += '%';
      append_upper_hex(uri, byte);
    }
  }
  return uri;
}

// The icon as the notification service gets it: the file URI of `icon_path`
// when something exists there now (after following links), otherwise empty.
std::string icon_value(DiskInterface& disk, const std::string& icon_path) {
  DiskInterface::Kind kind = DiskInterface::Kind::kNone;
  if (const int error = disk.kind_of(icon_path, kind); error != 0) {
    throw Failure::from_errno(error, "stat", icon_path);
  }
  return kind == DiskInterface::Kind::kNone ? std::string() : file_uri(icon_path);
}

}  // namespace

void FileCreator::_init_growl() {
  try {
    growl = process_.make_notifier(gntp::Application{
        .applicationName = process_.NAME,
        .notifications = {kNoteType},
        .defaultNotifications = {kNoteType},
        .applicationIcon = icon_value(disk_, icon_path),
    });
    growl->register_app();
  } catch (const std::exception& error) {
    out_ << "Warning: Could not initialize Growl: " + printable_text(error.what()) + "\n";
    growl.reset();
  }
}

void FileCreator::_notify(const std::string& filepath) {
  if (!growl) return;
  if (!process_.HAS_GROWL) return;
  try {
    growl->notify(gntp::Note{
        .noteType = kNoteType,
        .title = process_.NAME,
        .description = "File created: \"" + std::string(own_name(filepath)) + "\"",
        .icon = icon_value(disk_, icon_path),
        .sticky = false,
        .priority = 1,
    });
  } catch (const std::exception& error) {
    if (debug_requested(process_)) {
      out_ << "Notification error: " + printable_text(error.what()) + "\n";
    }
  }
}

}  // namespace nembit
