#include "clipboard/owner/owner_socket.h"

#include <sys/socket.h>
#include <sys/un.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "clipboard/owner/hash.h"

namespace nembit::owner {

namespace {

// The version of the link that the socket's owner speaks: an owner of
// another one is never reached.
constexpr char kLinkVersion[] = "nembit link 1";

// Every path that fits a socket's address fits the room that callers give.
static_assert(kOwnerSocketPathSize >= sizeof sockaddr_un{}.sun_path);

}  // namespace

bool owner_socket_path(const char* runtime_dir, const char* program, const char* display,
                       char* path, size_t size) {
  if (runtime_dir == nullptr || *runtime_dir != '/' || program == nullptr || display == nullptr ||
      *display == '\0') {
    return false;
  }
  uint64_t hash = hash_of(kLinkVersion, sizeof kLinkVersion);
  hash = hash_of(program, std::strlen(program) + 1, hash);
  hash = hash_of(display, std::strlen(display), hash);
  const int length = std::snprintf(path, size, "%s/nembit-owner-%016" PRIx64, runtime_dir, hash);
  return length > 0 && static_cast<size_t>(length) < size &&
         static_cast<size_t>(length) < sizeof sockaddr_un{}.sun_path;
}

bool owner_socket_address(const char* path, sockaddr_un& address) {
  address = {};
  address.sun_family = AF_UNIX;
  const size_t length = std::strlen(path);
  if (length >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path, length);
  return true;
}

}  // namespace nembit::owner
