// The last component of a slash-separated path.
#pragma once

#include <string_view>

namespace nembit {

/// What follows the last "/" of `path`: the whole of it when it has none.
inline std::string_view base_name(std::string_view path) {
  return path.substr(path.rfind('/') + 1);
}

}  // namespace nembit
