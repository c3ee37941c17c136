#include <dlfcn.h>

#include <mutex>

#include "common/executable.h"
#include "gntp/desktop_module.h"

namespace nembit::gntp {

namespace {

struct Loaded {
  const NembitDesktopApi* api = nullptr;
  std::string error;
};

// The module beside the program, where the build and the install put it.
Loaded load() {
  const std::string path = helper_path("nembit-desktop.so");
  if (path.empty()) return {.error = "cannot tell where the program is"};
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

const NembitDesktopApi* load_desktop_module(std::string& error) {
  static std::once_flag once;
  static Loaded loaded;
  std::call_once(once, [] { loaded = load(); });
  error = loaded.error;
  return loaded.api;
}

}  // namespace nembit::gntp
