#include "common/executable.h"

#include "common/build_config.h"
#include "common/path.h"

namespace nembit {

std::string helper_path(std::string_view name) {
  const std::string executable = executable_path();
  if (executable.empty()) return {};
  return join_path(join_path(parent_of(executable), kHelpersFromBin), name);
}

}  // namespace nembit
