#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "common/executable.h"
#include "common/fd_posix.h"
#include "common/system_error.h"
#include "notify/desktop_module_file.h"
#include "notify/desktop_service.h"
#include "notify/session_bus.h"

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

// Why no session bus can be reached here, in the words of sd-bus, which would
// try it; empty where one may be.
std::string no_session_bus() {
  const char* runtime_dir = std::getenv("XDG_RUNTIME_DIR");
  struct stat info {};
  const bool socket = runtime_dir != nullptr && *runtime_dir != '\0' &&
                      ::stat((std::string(runtime_dir) + "/bus").c_str(), &info) == 0 &&
                      S_ISSOCK(info.st_mode);
  switch (find_session_bus(std::getenv("DBUS_SESSION_BUS_ADDRESS"), runtime_dir, socket)) {
    case SessionBus::kOverTcp:
      return "no session bus: it is reached over TCP, which is not supported; only unix: "
             "addresses are";
    case SessionBus::kNoRuntime:
      return std::string("no session bus: ") + std::strerror(ENOMEDIUM);
    case SessionBus::kNoSocket:
      return std::string("no session bus: ") + std::strerror(ENOENT);
    default:
      return {};
  }
}

}  // namespace

const NembitDesktopApi* desktop_service(std::string& error) {
  // Nothing is loaded for a bus that is not there.
  if (std::string why = no_session_bus(); !why.empty()) {
    error = std::move(why);
    return nullptr;
  }
  static std::once_flag once;
  static Loaded loaded;
  std::call_once(once, [] { loaded = load(); });
  error = loaded.error;
  return loaded.api;
}

}  // namespace nembit::notify
