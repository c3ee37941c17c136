// Where an owner that holds the clipboard after its run lets the next run
// of nembit reach it, so that the run starts no owner of its own: a socket
// in the user's runtime folder, named for the owner program, the display
// and the link's version, so that only a run that would start that owner on
// that display reaches it.
#pragma once

#include <cstddef>

struct sockaddr_un;

namespace nembit::owner {

/// Room enough for the path of any socket that owner_socket_path() names,
/// with its terminating null.
constexpr size_t kOwnerSocketPathSize = 128;

/// The socket's path for the owner program `program` on the display
/// `display` (WAYLAND_DISPLAY or DISPLAY), in `path` of `size` bytes; false
/// where there is none: no runtime folder (`runtime_dir` null or relative),
/// no display, or a path too long for a socket's address.
bool owner_socket_path(const char* runtime_dir, const char* program, const char* display,
                       char* path, size_t size);

/// The address of the socket at `path`, for the owner that listens there
/// and the run that reaches it; false when the path does not fit one.
bool owner_socket_address(const char* path, sockaddr_un& address);

}  // namespace nembit::owner
