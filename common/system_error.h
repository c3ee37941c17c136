// The text of a system error number.
#pragma once

#include <string>
#include <string_view>

namespace nembit {

/// "[Errno 17] File exists": the number and the system's text for it.
std::string errno_text(int error);

/// The last component of a slash-separated path: what follows its last "/".
inline std::string_view base_name(std::string_view path) {
  return path.substr(path.rfind('/') + 1);
}

}  // namespace nembit
