// Reading the environment variables that steer the components.
#pragma once

#include <functional>
#include <string>

namespace nembit {

/// Reads an environment variable: its value, or null when it is unset.
using GetEnv = std::function<const char*(const char*)>;

/// The process's own environment.
const char* system_getenv(const char* name);

/// The value of the variable `name`, or `fallback` when it is unset or empty.
std::string environment_value(const char* name, const std::string& fallback = {},
                              const GetEnv& getenv = system_getenv);

/// Whether the variable `name` is set to something other than the empty text.
bool is_set(const char* name, const GetEnv& getenv = system_getenv);

}  // namespace nembit
