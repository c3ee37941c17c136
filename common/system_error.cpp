#include "common/system_error.h"

#include <cstring>

namespace nembit {

std::string errno_text(int error) {
  return "[Errno " + std::to_string(error) + "] " + std::strerror(error);
}

}  // namespace nembit
