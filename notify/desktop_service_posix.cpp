#include <dlfcn.h>
#include <fcntl.h>

#include <cerrno>
#include <mutex>

#include "common/executable.h"
#include "common/fd_posix.h"
#include "common/system_error.h"
#include "notify/desktop_module_file.h"
#include "notify/desktop_service.h"

namespace nembit::notify {

namespace {

struct Loaded {
  const NembitDesktopApi* api = nullptr;
  std::string error;
};

// The module beside the program, or where libnembit installs it. It is
// opened without waiting, and checked, before the loader maps it.
Loaded load() {
  const std::string path = helper_path("nembit-desktop.so");
  if (path.empty()) return {.error = "cannot tell where the program is"};
  const Fd file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (!file.open()) return {.error = "cannot load " + path + ": " + errno_text(errno)};
  if (const std::string fault = module_file_fault(file.get()); !fault.empty()) {
    return {.error = "cannot load " + path + ": " + fault};
  }
  void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) {
    const char* reason = ::dlerror();
    return {.error = "cannot load " + path + (reason != nullptr ? ": " + std::string(reason) : "")};
  }
  const auto entry = reinterpret_cast<NembitDesktopEntry>(::dlsym(module, NEMBIT_DESKTOP_ENTRY));
  const NembitDesktopApi* api = entry != nullptr ? entry() : nullptr;
  if (api == nullptr || api->abi != NEMBIT_DESKTOP_ABI) {
    return {.error = path + " is no nembit-desktop module of this version"};
  }
  return {.api = api, .error = {}};
}

}  // namespace

const NembitDesktopApi* desktop_service(std::string& error) {
  static std::once_flag once;
  static Loaded loaded;
  std::call_once(once, [] { loaded = load(); });
  error = loaded.error;
  return loaded.api;
}

}  // namespace nembit::notify
