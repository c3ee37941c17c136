#include "clipboard/owner/wayland_compositor.h"

#include <wayland-client.h>
#include <wlr-data-control-unstable-v1-client-protocol.h>

#include <cstdlib>
#include <cstring>

#include "clipboard/owner/nembit_link.h"

namespace nembit::owner {

namespace {

void on_global(void* data, wl_registry* registry, uint32_t name, const char* interface,
               uint32_t /*version*/) {
  auto& compositor = *static_cast<Compositor*>(data);
  if (compositor.seat == nullptr && std::strcmp(interface, wl_seat_interface.name) == 0) {
    compositor.seat =
        static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
  } else if (std::strcmp(interface, zwlr_data_control_manager_v1_interface.name) == 0) {
    compositor.manager = static_cast<zwlr_data_control_manager_v1*>(
        wl_registry_bind(registry, name, &zwlr_data_control_manager_v1_interface, 1));
  }
}

void on_global_remove(void* /*data*/, wl_registry* /*registry*/, uint32_t /*name*/) {}

constexpr wl_registry_listener kRegistryListener = {on_global, on_global_remove};

}  // namespace

bool connect(Compositor& compositor, const zwlr_data_control_device_v1_listener& listener,
             void* data) {
  compositor.display = wl_display_connect(nullptr);
  if (compositor.display == nullptr) {
    const char* name = std::getenv("WAYLAND_DISPLAY");
    reply_error("cannot connect to the Wayland display",
                name != nullptr ? name : "(WAYLAND_DISPLAY is not set)");
    return false;
  }
  wl_registry* registry = wl_display_get_registry(compositor.display);
  wl_registry_add_listener(registry, &kRegistryListener, &compositor);
  if (wl_display_roundtrip(compositor.display) < 0) {
    reply_error("lost the Wayland display", nullptr);
    return false;
  }
  wl_registry_destroy(registry);
  if (compositor.manager == nullptr || compositor.seat == nullptr) {
    reply_error("the compositor offers no data-control protocol", nullptr);
    return false;
  }
  compositor.device =
      zwlr_data_control_manager_v1_get_data_device(compositor.manager, compositor.seat);
  zwlr_data_control_device_v1_add_listener(compositor.device, &listener, data);
  // What the clipboard holds comes before the first text is taken.
  if (wl_display_roundtrip(compositor.display) < 0) {
    reply_error("lost the Wayland display", nullptr);
    return false;
  }
  return true;
}

void disconnect(Compositor& compositor) {
  if (compositor.device != nullptr) zwlr_data_control_device_v1_destroy(compositor.device);
  if (compositor.manager != nullptr) zwlr_data_control_manager_v1_destroy(compositor.manager);
  if (compositor.seat != nullptr) wl_seat_destroy(compositor.seat);
  if (compositor.display != nullptr) wl_display_disconnect(compositor.display);
}

}  // namespace nembit::owner
