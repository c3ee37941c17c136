#include <filesystem>
#include <system_error>
#if defined(__APPLE__)
#include <mach-o/dyld.h>
#endif

#include "common/executable.h"

namespace nembit {

namespace fs = std::filesystem;

namespace {

// The path that the system tells, links resolved; empty where it cannot tell.
std::string system_executable_path() {
  std::error_code error;
  fs::path path;
#if defined(__linux__)
  path = fs::read_symlink("/proc/self/exe", error);  // Resolved by the kernel.
#elif defined(__APPLE__)
  uint32_t size = 0;
  _NSGetExecutablePath(nullptr, &size);
  std::string buffer(size, '\0');
  if (_NSGetExecutablePath(buffer.data(), &size) == 0) path = buffer.c_str();
  path = fs::canonical(path, error);
#endif
  return error ? std::string() : path.string();
}

}  // namespace

std::string executable_path(const char* argv0) {
  // Asked at start-up and again by the helpers: the system is asked once.
  static const std::string kSystemPath = system_executable_path();
  if (!kSystemPath.empty() || argv0 == nullptr || *argv0 == '\0') return kSystemPath;
  std::error_code error;
  fs::path resolved = fs::canonical(argv0, error);
  return (error ? fs::absolute(argv0, error).lexically_normal() : resolved).string();
}

}  // namespace nembit
