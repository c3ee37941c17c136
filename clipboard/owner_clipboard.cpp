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
      budget_total_(budget),
      budget_(budget) {}

void OwnerClipboard::copy(std::string_view text) {
  if (!use_fallback_) {
    if (failed_.empty() && budget_.spent()) {
      failed_ = name_ + ": used up the " + std::to_string(budget_total_.count()) +
                " ms that copies may take in one run";
    }
    if (!failed_.empty()) throw Error(failed_);
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

void OwnerClipboard::fail(std::string error) {
  failed_ = std::move(error);
  throw Error(failed_);
}

}  // namespace nembit::clipboard
