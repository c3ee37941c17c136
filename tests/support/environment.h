// Test support: setting and removing environment variables on any platform.
#pragma once

#include <cstdlib>
#include <string>

namespace nembit {

/// Sets the environment variable `name` to `value`.
inline void set_environment(const std::string& name, const std::string& value) {
#if defined(_WIN32)
  ::_putenv_s(name.c_str(), value.c_str());
#else
  ::setenv(name.c_str(), value.c_str(), 1);
#endif
}

/// Removes the environment variable `name`.
inline void unset_environment(const std::string& name) {
#if defined(_WIN32)
  ::_putenv_s(name.c_str(), "");
#else
  ::unsetenv(name.c_str());
#endif
}

}  // namespace nembit
