// The reason that a call of the desktop module's interface (module.h) hands
// back in its caller's `error`, written the same way on both sides of it.
#pragma once

#include <cstddef>
#include <cstdio>

namespace nembit::notify {

/// Writes "<what>: <detail>", or "<what>" without a detail, into `error` of
/// `size` bytes, cut to fit.
inline void set_module_error(char* error, size_t size, const char* what,
                             const char* detail = nullptr) {
  if (size == 0) return;
  if (detail != nullptr && *detail != '\0') {
    std::snprintf(error, size, "%s: %s", what, detail);
  } else {
    std::snprintf(error, size, "%s", what);
  }
}

}  // namespace nembit::notify
