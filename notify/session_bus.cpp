#include "notify/session_bus.h"

#include <string_view>

namespace nembit::notify {

SessionBus find_session_bus(const char* address, const char* runtime_dir, bool runtime_socket) {
  const std::string_view named = address != nullptr ? address : "";
  if (!named.empty()) {
    return named.starts_with("tcp:") || named.starts_with("nonce-tcp:") ? SessionBus::kOverTcp
                                                                        : SessionBus::kAddressed;
  }
  if (runtime_dir == nullptr || *runtime_dir == '\0') return SessionBus::kNoRuntime;
  return runtime_socket ? SessionBus::kInRuntime : SessionBus::kNoSocket;
}

}  // namespace nembit::notify
