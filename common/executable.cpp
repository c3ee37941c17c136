#include "common/executable.h"

#include "common/build_config.h"
#include "common/path.h"

namespace nembit {

namespace {

// `dir` joined with `name`, without the ".." that the relative part holds.
std::string helper_in(std::string_view dir, std::string_view name) {
  return collapse_dots(join_path(dir, name));
}

}  // namespace

std::string helper_path(std::string_view name) {
  std::string beside;
  if (const std::string executable = executable_path(); !executable.empty()) {
    beside = helper_in(join_path(parent_of(executable), kHelpersFromBin), name);
    if (path_exists(beside)) return beside;
  }
  for (const char* folder : {kHelpersInstalled, kHelpersBuilt}) {
    if (*folder == '\0') continue;
    std::string found = helper_in(folder, name);
    if (path_exists(found)) return found;
  }
  return beside;
}

std::string library_data_dir(const std::string& beside) {
  for (const std::string& folder : {beside, std::string(kDataInstalled), std::string(kDataBuilt)}) {
    if (!folder.empty() && path_exists(join_path(folder, "__version__.py"))) return folder;
  }
  return beside;
}

}  // namespace nembit
