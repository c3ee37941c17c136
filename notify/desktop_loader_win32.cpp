#include "notify/desktop_loader.h"

namespace nembit::notify {

const NembitDesktopApi* load_desktop_module(std::string& error) {
  error = "this system has no desktop notification service that nembit reaches";
  return nullptr;
}

}  // namespace nembit::notify
