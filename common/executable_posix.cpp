#include <filesystem>
#include <system_error>
#if defined(__APPLE__)
#include <mach-o/dyld.h>
#endif

#include "common/executable.h"

namespace nembit {

namespace fs = std::filesystem;

std::string executable_path(const char* argv0) {
  std::error_code error;
  fs::path path;
#if defined(__linux__)
  path = fs::read_symlink("/proc/self/exe", error);
#elif defined(__APPLE__)
  uint32_t size = 0;
  _NSGetExecutablePath(nullptr, &size);
  std::string buffer(size, '\0');
  if (_NSGetExecutablePath(buffer.data(), &size) == 0) path = buffer.c_str();
#endif
  if (path.empty() && argv0 != nullptr) path = argv0;
  if (path.empty()) return {};
  fs::path resolved = fs::canonical(path, error);
  return (error ? fs::absolute(path, error).lexically_normal() : resolved).string();
}

}  // namespace nembit
