#include <unistd.h>

#include <climits>
#include <cstdlib>
#if defined(__APPLE__)
#include <mach-o/dyld.h>
#endif

#include "common/environment.h"
#include "common/executable.h"
#include "common/path.h"

namespace nembit {

namespace {

// The name the program was started by, as start-up notes it.
std::string& noted_name() {
  static std::string name;
  return name;
}

// `path` with its links resolved, or empty.
std::string real_path(const char* path) {
  char resolved[PATH_MAX];
  return ::realpath(path, resolved) != nullptr ? std::string(resolved) : std::string();
}

// The path that the system tells, links resolved; empty where it cannot tell.
std::string system_executable_path() {
#if defined(__linux__)
  char path[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path);  // Resolved.
  return length > 0 && static_cast<size_t>(length) < sizeof path
             ? std::string(path, static_cast<size_t>(length))
             : std::string();
#elif defined(__APPLE__)
  char path[PATH_MAX];
  uint32_t size = sizeof path;
  return _NSGetExecutablePath(path, &size) == 0 ? real_path(path) : std::string();
#else
  return {};
#endif
}

// The program found from the name it was started by, as the shell found
// it: a name with a slash from the working folder, any other in PATH.
std::string path_from_name(const std::string& name) {
  if (name.find('/') != std::string::npos) return real_path(name.c_str());
  const std::string search = environment_value("PATH");
  for (size_t begin = 0; begin <= search.size();) {
    size_t end = search.find(':', begin);
    if (end == std::string::npos) end = search.size();
    const std::string dir = end > begin ? search.substr(begin, end - begin) : ".";
    const std::string candidate = join_path(dir, name);
    if (::access(candidate.c_str(), X_OK) == 0) return real_path(candidate.c_str());
    begin = end + 1;
  }
  return {};
}

}  // namespace

void note_program_name(const char* argv0) {
  if (argv0 != nullptr && *argv0 != '\0' && noted_name().empty()) noted_name() = argv0;
}

std::string executable_path() {
  // Asked at start-up and again by the helpers: the system is asked once.
  static const std::string kSystemPath = system_executable_path();
  if (!kSystemPath.empty() || noted_name().empty()) return kSystemPath;
  return path_from_name(noted_name());
}

bool path_exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

}  // namespace nembit
