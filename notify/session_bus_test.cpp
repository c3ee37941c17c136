#include "notify/session_bus.h"

#include <gtest/gtest.h>

namespace nembit::notify {
namespace {

TEST(SessionBus, IsFoundFromTheEnvironmentAlone) {
  struct Case {
    const char* address;
    const char* runtime_dir;
    bool socket;
    SessionBus found;
  };
  const Case cases[] = {
      {"unix:path=/run/user/1/bus", nullptr, false, SessionBus::kAddressed},
      {"tcp:host=localhost,port=1", "/run/user/1", true, SessionBus::kOverTcp},
      {"nonce-tcp:host=localhost,port=1", nullptr, false, SessionBus::kOverTcp},
      {"", "/run/user/1", true, SessionBus::kInRuntime},
      {nullptr, "/run/user/1", false, SessionBus::kNoSocket},
      {nullptr, "", true, SessionBus::kNoRuntime},
      {nullptr, nullptr, false, SessionBus::kNoRuntime},
  };
  for (const Case& test : cases) {
    EXPECT_EQ(find_session_bus(test.address, test.runtime_dir, test.socket), test.found)
        << (test.address != nullptr ? test.address : "(unset)");
  }
}

}  // namespace
}  // namespace nembit::notify
