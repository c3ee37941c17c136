#include "common/environment.h"

#include <cstdlib>

namespace nembit {

const char* system_getenv(const char* name) { return std::getenv(name); }

std::string environment_value(const char* name, const std::string& fallback, const GetEnv& getenv) {
  const char* value = getenv(name);
  return value != nullptr && *value != '\0' ? std::string(value) : fallback;
}

bool is_set(const char* name, const GetEnv& getenv) {
  const char* value = getenv(name);
  return value != nullptr && *value != '\0';
}

}  // namespace nembit
