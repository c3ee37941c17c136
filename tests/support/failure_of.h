// Test support: the message of the notification error that a call throws.
#pragma once

#include <functional>
#include <string>

#include "nembit/notifier.h"

namespace nembit {

/// What() of the notify::Error that `call` throws, or "no error".
inline std::string failure_of(const std::function<void()>& call) {
  try {
    call();
  } catch (const notify::Error& error) {
    return error.what();
  }
  return "no error";
}

}  // namespace nembit
