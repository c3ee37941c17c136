#include <cstring>

#include "common/system_error.h"

namespace nembit {

std::string errno_text(int error) {
  return "[Errno " + std::to_string(error) + "] " + error_reason(error);
}

std::string error_reason(int error) { return std::strerror(error); }

}  // namespace nembit
