// Test support: a notification service on the session bus
// (DBUS_SESSION_BUS_ADDRESS) that lists "body-markup" first among its
// capabilities, then treats every Notify as its argument says: "silent"
// takes it and never answers, "crash" ends the service, "timeout" answers
// with the bus's time-out error, "answer" answers with a new id and prints
// the notice's body on a line, "slow" does the same 15 ms later, printing
// the new id, the one the notice replaces and its urgency hint before the
// body. Prints "ready" once it owns the name.
#include <systemd/sd-bus.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <thread>

namespace {

// The urgency hint of a Notify whose reading stands at its actions, or -1.
int urgency_of(sd_bus_message* message) {
  int urgency = -1;
  if (sd_bus_message_skip(message, "as") < 0 ||
      sd_bus_message_enter_container(message, SD_BUS_TYPE_ARRAY, "{sv}") < 0) {
    return urgency;
  }
  while (sd_bus_message_enter_container(message, SD_BUS_TYPE_DICT_ENTRY, "sv") > 0) {
    const char* key = nullptr;
    uint8_t value = 0;
    if (sd_bus_message_read(message, "s", &key) > 0 && std::strcmp(key, "urgency") == 0 &&
        sd_bus_message_read(message, "v", "y", &value) > 0) {
      urgency = value;
    } else {
      sd_bus_message_skip(message, "v");
    }
    sd_bus_message_exit_container(message);
  }
  return urgency;
}

}  // namespace

int main(int argc, char** argv) {
  const char* mode = argc > 1 ? argv[1] : "silent";
  sd_bus* bus = nullptr;
  if (sd_bus_open_user(&bus) < 0) return 1;
  if (sd_bus_request_name(bus, "org.freedesktop.Notifications", 0) < 0) return 1;
  std::puts("ready");
  std::fflush(stdout);
  for (uint32_t id = 1;; ++id) {
    sd_bus_message* message = nullptr;
    const int r = sd_bus_process(bus, &message);
    if (r < 0) return 1;
    if (message != nullptr &&
        sd_bus_message_is_method_call(message, nullptr, "GetCapabilities") > 0) {
      sd_bus_reply_method_return(message, "as", 2, "body-markup", "body");
    } else if (message != nullptr &&
               sd_bus_message_is_method_call(message, nullptr, "Notify") > 0) {
      if (std::strcmp(mode, "crash") == 0) return 0;
      if (std::strcmp(mode, "timeout") == 0) {
        sd_bus_reply_method_errorf(message, SD_BUS_ERROR_TIMEOUT, "the service timed out");
      }
      const char* text[4] = {};
      uint32_t replaces = 0;
      const bool slow = std::strcmp(mode, "slow") == 0;
      if ((slow || std::strcmp(mode, "answer") == 0) &&
          sd_bus_message_read(message, "susss", &text[0], &replaces, &text[1], &text[2],
                              &text[3]) >= 0) {
        const char* body = text[3];
        if (slow) {
          std::this_thread::sleep_for(std::chrono::milliseconds(15));
          std::printf("%u %u %d ", id, replaces, urgency_of(message));
        }
        std::printf("%s\n", body);
        std::fflush(stdout);
        sd_bus_reply_method_return(message, "u", id);
      }
    }
    sd_bus_message_unref(message);
    if (r == 0) sd_bus_wait(bus, UINT64_MAX);
  }
}
