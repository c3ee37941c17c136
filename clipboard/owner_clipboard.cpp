#include "clipboard/owner_clipboard.h"

#include "common/escape.h"
#include "common/path.h"

namespace nembit::clipboard {

OwnerClipboard::OwnerClipboard(std::string owner, std::unique_ptr<Clipboard> fallback,
                               std::chrono::milliseconds limit, std::chrono::milliseconds budget)
    : owner_(std::move(owner)),
      name_(own_name(owner_)),
      fallback_(std::move(fallback)),
      limit_(limit),
      budget_(budget, name_) {}

void OwnerClipboard::copy(std::string_view text) {
  if (!use_fallback_) {
    if (const std::string_view stopped = budget_.stopped(); !stopped.empty()) {
      throw Error(std::string(stopped));
    }
    const bool copied = budget_.run(limit_, [&](std::chrono::milliseconds limit) {
      return copy_through_owner(text, OwnerProcess::Clock::now() + limit, limit);
    });
    if (copied) return;
  }
  if (!fallback_) throw Error(no_display_);
  fallback_->copy(text);
}

bool OwnerClipboard::copy_through_owner(std::string_view text,
                                        OwnerProcess::Clock::time_point deadline,
                                        std::chrono::milliseconds limit) {
  using Io = OwnerProcess::Io;
  const auto check = [&](Io io) {
    if (io == Io::kTimedOut) {
      process_->kill();
      fail(name_ + ": timed out after " + std::to_string(limit.count()) + " ms");
    }
    if (io == Io::kGone) fail(name_ + ": ended before it confirmed the copy");
  };
  std::string line;
  if (!process_) {
    try {
      process_ = std::make_unique<OwnerProcess>(owner_);
    } catch (const Error& error) {
      // It cannot run here: the tools get this copy and the rest.
      no_display_ = error.what();
      use_fallback_ = true;
      return false;
    }
    check(process_->read_line(line, deadline));
    if (line != "ready") {
      // It cannot reach the display: the tools get this copy and the rest.
      no_display_ = name_ + ": " + printable_text(line.substr(line.find(' ') + 1), kShownTextLimit);
      // It is on its way out; reaping it here means it never outlives the run.
      process_->kill();
      process_.reset();
      use_fallback_ = true;
      return false;
    }
  }
  std::string message = std::to_string(text.size());
  message.append("\n").append(text);
  check(process_->send(message, deadline));
  check(process_->read_line(line, deadline));
  if (line != "ok") {
    throw Error(name_ + ": " + printable_text(line.substr(line.find(' ') + 1), kShownTextLimit));
  }
  return true;
}

void OwnerClipboard::fail(const std::string& error) {
  budget_.stop(error);
  throw Error(error);
}

}  // namespace nembit::clipboard
