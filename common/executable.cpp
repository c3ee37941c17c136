#include "common/executable.h"

#include <filesystem>
#include <system_error>

#include "common/build_config.h"
#include "common/path.h"

namespace nembit {

namespace {

bool exists(const std::string& path) {
  std::error_code error;
  return std::filesystem::exists(path, error);
}

// `dir` joined with `name`, without the ".." that the relative part holds.
std::string helper_in(std::string_view dir, std::string_view name) {
  return std::filesystem::path(join_path(dir, name)).lexically_normal().string();
}

}  // namespace

std::string helper_path(std::string_view name) {
  std::string beside;
  if (const std::string executable = executable_path(); !executable.empty()) {
    beside = helper_in(join_path(parent_of(executable), kHelpersFromBin), name);
    if (exists(beside)) return beside;
  }
  for (const char* folder : {kHelpersInstalled, kHelpersBuilt}) {
    if (*folder == '\0') continue;
    std::string found = helper_in(folder, name);
    if (exists(found)) return found;
  }
  return beside;
}

std::string library_data_dir(const std::string& beside) {
  for (const std::string& folder : {beside, std::string(kDataInstalled), std::string(kDataBuilt)}) {
    if (!folder.empty() && exists(join_path(folder, "__version__.py"))) return folder;
  }
  return beside;
}

}  // namespace nembit
