// The bytes of GNTP/1.0 requests and replies.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "nembit/notifier.h"

namespace nembit::gntp {

/// The key part of an information line for `password` and `salt`:
/// "SHA256:<keyHash>.<salt>" in uppercase hexadecimal, where key is the
/// SHA-256 of the password's bytes followed by the salt, and keyHash the
/// SHA-256 of the key.
std::string key_part(std::string_view password, std::span<const unsigned char> salt);

/// A REGISTER request: the application headers, then one block per
/// notification type, enabled when it is among the default notifications.
/// `key` is a key part or empty. An empty icon sends no icon header.
std::string register_request(const notify::Application& application, std::string_view key);

/// How a notice names itself (Notification-ID), and the earlier notice
/// whose place it takes on a server that honours it
/// (Notification-Coalescing-ID); each is left out when empty.
struct NoticeIds {
  std::string id;
  std::string replaces;
};

/// A NOTIFY request of `application_name` for `note`.
std::string notify_request(std::string_view application_name, const notify::Note& note,
                           std::string_view key, const NoticeIds& ids = {});

/// Length of the first complete message in `bytes` (up to and including its
/// closing empty line), or 0 while it is incomplete.
size_t message_length(std::string_view bytes);

/// Checks a reply: returns when it is -OK; throws Error for an -ERROR reply
/// (with its code and description) or for bytes that are no GNTP reply.
void check_reply(std::string_view reply);

}  // namespace nembit::gntp
