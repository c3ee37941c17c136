#include "nembit/program_dir.h"

#include <filesystem>
#include <system_error>
#if defined(__APPLE__)
#include <mach-o/dyld.h>

#include <vector>
#elif defined(_WIN32)
#include <windows.h>

#include <vector>
#endif

namespace nembit {

namespace fs = std::filesystem;

namespace {

// The path of the running executable, links resolved; empty when unknown.
fs::path executable_path(const char* argv0) {
  std::error_code error;
  fs::path path;
#if defined(__linux__)
  path = fs::read_symlink("/proc/self/exe", error);
#elif defined(__APPLE__)
  uint32_t size = 0;
  _NSGetExecutablePath(nullptr, &size);
  std::vector<char> buffer(size);
  if (_NSGetExecutablePath(buffer.data(), &size) == 0) path = buffer.data();
#elif defined(_WIN32)
  std::vector<wchar_t> buffer(MAX_PATH);
  DWORD length = 0;
  while ((length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()))) ==
         buffer.size()) {
    buffer.resize(buffer.size() * 2);
  }
  path = std::wstring(buffer.data(), length);
#endif
  if (path.empty() && argv0 != nullptr) path = argv0;
  if (path.empty()) return {};
  fs::path resolved = fs::canonical(path, error);
  return error ? fs::absolute(path, error).lexically_normal() : resolved;
}

}  // namespace

std::string find_program_dir(const char* argv0) {
  const fs::path executable = executable_path(argv0);
  if (executable.empty()) return ".";
  // The data directory's place relative to the executable's, as installed.
  fs::path dir = (executable.parent_path() / NEMBIT_DATA_FROM_BIN).lexically_normal();
  if (!dir.has_filename()) dir = dir.parent_path();  // "bin/." reads "bin/".
  return dir.string();
}

}  // namespace nembit
