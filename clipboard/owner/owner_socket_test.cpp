#include "clipboard/owner/owner_socket.h"

#include <gtest/gtest.h>
#include <sys/un.h>

#include <string>

namespace nembit::owner {
namespace {

// The path for these, or "-" for none.
std::string path_for(const char* runtime_dir, const char* program, const char* display) {
  char path[kOwnerSocketPathSize];
  return owner_socket_path(runtime_dir, program, display, path, sizeof path) ? path : "-";
}

TEST(OwnerSocket, IsReachedOnlyByARunOfTheSameOwnerOnTheSameDisplay) {
  const std::string path = path_for("/run/user/1000", "/usr/lib/nembit/owner", ":0");
  ASSERT_EQ(path.rfind("/run/user/1000/nembit-owner-", 0), 0U) << path;
  EXPECT_EQ(path_for("/run/user/1000", "/usr/lib/nembit/owner", ":0"), path);
  EXPECT_NE(path_for("/run/user/1000", "/opt/nembit/owner", ":0"), path);
  EXPECT_NE(path_for("/run/user/1000", "/usr/lib/nembit/owner", ":1"), path);
  // The program's name and the display's do not run together.
  EXPECT_NE(path_for("/run", "/a", "b:0"), path_for("/run", "/ab", ":0"));
  // Nowhere without a runtime folder, a display, or room in a socket's address.
  EXPECT_EQ(path_for(nullptr, "/a", ":0"), "-");
  EXPECT_EQ(path_for("run", "/a", ":0"), "-");
  EXPECT_EQ(path_for("/run", "/a", ""), "-");
  EXPECT_EQ(path_for(("/" + std::string(90, 'r')).c_str(), "/a", ":0"), "-");
  // An address holds a path and its closing NUL.
  sockaddr_un address{};
  const std::string longest(sizeof address.sun_path - 1, 'a');
  EXPECT_TRUE(owner_socket_address(longest.c_str(), address));
  EXPECT_EQ(std::string(address.sun_path), longest);
  EXPECT_FALSE(owner_socket_address((longest + "a").c_str(), address));
}

}  // namespace
}  // namespace nembit::owner
