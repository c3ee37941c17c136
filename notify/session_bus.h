// Whether the desktop's notification service can be reached on a session
// bus at all, told from the environment alone, so that a run where it cannot
// (over SSH, in cron, in a container) loads nothing to try it.
#pragma once

namespace nembit::notify {

/// Where the session bus is, as far as the environment tells.
enum class SessionBus {
  kAddressed,  ///< DBUS_SESSION_BUS_ADDRESS names it.
  kOverTcp,    ///< It names one reached over TCP, which is not supported.
  kInRuntime,  ///< The socket $XDG_RUNTIME_DIR/bus is there.
  kNoRuntime,  ///< Neither is set.
  kNoSocket,   ///< XDG_RUNTIME_DIR is set, but holds no socket "bus".
};

/// Where the session bus is: `address` is DBUS_SESSION_BUS_ADDRESS,
/// `runtime_dir` XDG_RUNTIME_DIR (each null when unset), and
/// `runtime_socket` whether $XDG_RUNTIME_DIR/bus is a socket.
SessionBus find_session_bus(const char* address, const char* runtime_dir, bool runtime_socket);

}  // namespace nembit::notify
