#include <cstring>

#include "common/system_error.h"

namespace nembit {

std::string errno_text(int error) {
  return "[Errno " + std::to_string(error) + "] " + std::strerror(error);
}

int windows_error_number(unsigned long code) { return -static_cast<int>(code); }

}  // namespace nembit
