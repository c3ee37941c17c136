#include "notify/gntp/message.h"

#include <array>

#include "common/escape.h"
#include "common/hex.h"
#include "notify/gntp/crypto.h"

namespace nembit::gntp {

namespace {

constexpr std::string_view kEnd = "\r\n";

std::string hex(std::span<const unsigned char> bytes) {
  std::string text;
  text.reserve(bytes.size() * 2);
  for (const unsigned char byte : bytes) append_hex(text, byte, 2, HexCase::kUpper);
  return text;
}

// Appends "Name: value" and a line end. A CR or LF in the value becomes a
// blank: no value can start a header or end the message.
void header(std::string& message, std::string_view name, std::string_view value) {
  message.append(name).append(": ");
  for (const char c : value) message += c == '\r' || c == '\n' ? ' ' : c;
  message.append(kEnd);
}

void information_line(std::string& message, std::string_view type, std::string_view key) {
  message.append("GNTP/1.0 ").append(type).append(" NONE");
  if (!key.empty()) message.append(" ").append(key);
  message.append(kEnd);
}

std::string_view boolean(bool value) { return value ? "True" : "False"; }

// The value of header `name` in the header lines of `reply`, or empty.
std::string_view header_value(std::string_view reply, std::string_view name) {
  size_t at = reply.find('\n');
  while (at != std::string_view::npos && at + 1 < reply.size()) {
    const size_t end = reply.find('\n', at + 1);
    std::string_view line =
        reply.substr(at + 1, end == std::string_view::npos ? end : end - at - 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (line.empty()) break;
    if (line.starts_with(name) && line.substr(name.size()).starts_with(':')) {
      line.remove_prefix(name.size() + 1);
      while (line.starts_with(' ')) line.remove_prefix(1);
      return line;
    }
    at = end;
  }
  return {};
}

// `text` cut to the length of what a message shows, safe on one line.
std::string shown(std::string_view text) { return printable_text(text, kShownTextLimit); }

}  // namespace

std::string key_part(std::string_view password, std::span<const unsigned char> salt) {
  std::basic_string<unsigned char> salted(password.begin(), password.end());
  salted.append(salt.begin(), salt.end());
  const Digest key = sha256(salted);
  return "SHA256:" + hex(sha256(key)) + "." + hex(salt);
}

std::string register_request(const notify::Application& application, std::string_view key) {
  std::string message;
  information_line(message, "REGISTER", key);
  header(message, "Application-Name", application.applicationName);
  if (!application.applicationIcon.empty()) {
    header(message, "Application-Icon", application.applicationIcon);
  }
  header(message, "Notifications-Count", std::to_string(application.notifications.size()));
  message.append(kEnd);
  for (const std::string& name : application.notifications) {
    bool enabled = false;
    for (const std::string& on : application.defaultNotifications) enabled = enabled || on == name;
    header(message, "Notification-Name", name);
    header(message, "Notification-Display-Name", name);
    header(message, "Notification-Enabled", boolean(enabled));
    message.append(kEnd);
  }
  return message;
}

std::string notify_request(std::string_view application_name, const notify::Note& note,
                           std::string_view key, const NoticeIds& ids) {
  std::string message;
  information_line(message, "NOTIFY", key);
  header(message, "Application-Name", application_name);
  header(message, "Notification-Name", note.noteType);
  header(message, "Notification-Title", note.title);
  header(message, "Notification-Text", note.description);
  header(message, "Notification-Sticky", boolean(note.sticky));
  header(message, "Notification-Priority", std::to_string(note.priority));
  if (!note.icon.empty()) header(message, "Notification-Icon", note.icon);
  if (!ids.id.empty()) header(message, "Notification-ID", ids.id);
  if (!ids.replaces.empty()) header(message, "Notification-Coalescing-ID", ids.replaces);
  message.append(kEnd);
  return message;
}

size_t message_length(std::string_view bytes) {
  const size_t end = bytes.find("\r\n\r\n");
  return end == std::string_view::npos ? 0 : end + 4;
}

void check_reply(std::string_view reply) {
  if (reply.empty()) throw notify::Error("the GNTP server closed the connection without a reply");
  std::string_view first = reply.substr(0, reply.find('\n'));
  if (first.ends_with('\r')) first.remove_suffix(1);
  const size_t blank = first.find(' ');
  const std::string_view directive =
      blank == std::string_view::npos ? std::string_view() : first.substr(blank + 1);
  if (!first.starts_with("GNTP/")) throw notify::Error("malformed GNTP reply: " + shown(first));
  if (directive == "-OK" || directive.starts_with("-OK ")) return;
  if (directive != "-ERROR" && !directive.starts_with("-ERROR ")) {
    throw notify::Error("malformed GNTP reply: " + shown(first));
  }
  const std::string_view code = header_value(reply, "Error-Code");
  const std::string_view description = header_value(reply, "Error-Description");
  std::string message = "GNTP error";
  if (!code.empty()) message.append(" ").append(shown(code));
  message.append(": ").append(description.empty() ? "no description" : shown(description));
  throw notify::Error(message);
}

}  // namespace nembit::gntp
