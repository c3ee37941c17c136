#include "gntp/desktop_module.h"

namespace nembit::gntp {

const NembitDesktopApi* load_desktop_module(std::string& error) {
  error = "this system has no desktop notification service that nembit reaches";
  return nullptr;
}

}  // namespace nembit::gntp
