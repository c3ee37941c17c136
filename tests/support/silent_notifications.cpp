// Test support: a notification service on the session bus
// (DBUS_SESSION_BUS_ADDRESS) that answers GetCapabilities, then takes every
// Notify and never answers it. Prints "ready" once it owns the name.
#include <systemd/sd-bus.h>

#include <cstdint>
#include <cstdio>

int main() {
  sd_bus* bus = nullptr;
  if (sd_bus_open_user(&bus) < 0) return 1;
  if (sd_bus_request_name(bus, "org.freedesktop.Notifications", 0) < 0) return 1;
  std::puts("ready");
  std::fflush(stdout);
  for (;;) {
    sd_bus_message* message = nullptr;
    const int r = sd_bus_process(bus, &message);
    if (r < 0) return 1;
    if (message != nullptr &&
        sd_bus_message_is_method_call(message, nullptr, "GetCapabilities") > 0) {
      sd_bus_reply_method_return(message, "as", 1, "body-markup");
    }
    sd_bus_message_unref(message);
    if (r == 0) sd_bus_wait(bus, UINT64_MAX);
  }
}
