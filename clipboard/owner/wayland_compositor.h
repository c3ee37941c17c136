// The Wayland owner's way to the compositor's clipboard: the display, the
// seat, and the data-control manager and device (see wayland_owner.cpp).
#pragma once

struct wl_display;
struct wl_seat;
struct zwlr_data_control_manager_v1;
struct zwlr_data_control_device_v1;
struct zwlr_data_control_device_v1_listener;

namespace nembit::owner {

/// What the owner holds of the compositor; null where it has none.
struct Compositor {
  wl_display* display = nullptr;
  wl_seat* seat = nullptr;
  zwlr_data_control_manager_v1* manager = nullptr;
  zwlr_data_control_device_v1* device = nullptr;
};

/// Reaches the compositor and its data-control manager, and the device of
/// the seat, which tells `listener` (with `data`) what the clipboard holds
/// before this returns; false, after saying why to nembit, when it cannot.
bool connect(Compositor& compositor, const zwlr_data_control_device_v1_listener& listener,
             void* data);

/// Leaves the compositor, with all that the owner holds of it.
void disconnect(Compositor& compositor);

}  // namespace nembit::owner
