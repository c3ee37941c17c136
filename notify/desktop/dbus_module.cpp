// nembit-desktop: the module that reaches the desktop's own notification
// service, org.freedesktop.Notifications on the session bus (freedesktop.org's
// standard for desktop notices), through sd-bus. nembit loads it only when a
// run needs it, so that no other run pays for libsystemd. It uses the C
// library alone besides sd-bus, and throws nothing. It never waits but as
// long as its caller allows (see NembitDesktopWait): no call of sd-bus that
// waits on its own is made, and the bus is closed without flushing.
#include <systemd/sd-bus.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "notify/desktop/module.h"
#include "notify/desktop/module_error.h"

struct NembitDesktop {
  sd_bus* bus;
};

namespace {

using nembit::notify::set_module_error;

constexpr const char* kService = "org.freedesktop.Notifications";
constexpr const char* kPath = "/org/freedesktop/Notifications";
constexpr const char* kInterface = "org.freedesktop.Notifications";

// The reply of a method call, once it has come.
struct Pending {
  bool done = false;
  sd_bus_message* reply = nullptr;
};

int take_reply(sd_bus_message* reply, void* data, sd_bus_error* /*error*/) {
  auto* pending = static_cast<Pending*>(data);
  pending->done = true;
  pending->reply = sd_bus_message_ref(reply);
  return 1;
}

// Waits for the reply of `pending` as long as `wait` allows.
int await(sd_bus* bus, const Pending& pending, NembitDesktopWait wait, void* context, char* error,
          size_t error_size) {
  while (!pending.done) {
    const long milliseconds = wait(context);
    if (milliseconds < 0) return NEMBIT_DESKTOP_STOPPED;
    const int r = sd_bus_process(bus, nullptr);
    if (r < 0) {
      set_module_error(error, error_size, "lost the session bus", strerror(-r));
      return NEMBIT_DESKTOP_FAILED;
    }
    if (r > 0) continue;
    if (milliseconds == 0) return NEMBIT_DESKTOP_TIMED_OUT;
    sd_bus_wait(bus, static_cast<uint64_t>(milliseconds) * 1000);
  }
  return NEMBIT_DESKTOP_OK;
}

// Sends `call` and waits for its reply as long as `wait` allows. On success
// `*reply` holds the reply, which the caller unreferences.
int call(sd_bus* bus, sd_bus_message* call, NembitDesktopWait wait, void* context,
         sd_bus_message** reply, char* error, size_t error_size) {
  Pending pending;
  sd_bus_slot* slot = nullptr;
  const int r = sd_bus_call_async(bus, &slot, call, take_reply, &pending, 0);
  if (r < 0) {
    set_module_error(error, error_size, "cannot call the desktop notification service",
                     strerror(-r));
    return NEMBIT_DESKTOP_FAILED;
  }
  const int status = await(bus, pending, wait, context, error, error_size);
  sd_bus_slot_unref(slot);  // Gives up a call still under way.
  if (status != NEMBIT_DESKTOP_OK) return status;
  if (sd_bus_message_is_method_error(pending.reply, nullptr) != 0) {
    // A service that crashed mid-call shows as no reply: it failed, and the
    // bus says how.
    const sd_bus_error* failure = sd_bus_message_get_error(pending.reply);
    const bool timed_out = sd_bus_error_has_name(failure, SD_BUS_ERROR_TIMEOUT) != 0;
    set_module_error(error, error_size, "the desktop notification service failed",
                     failure != nullptr && failure->message != nullptr ? failure->message
                     : failure != nullptr                              ? failure->name
                                                                       : nullptr);
    sd_bus_message_unref(pending.reply);
    return timed_out ? NEMBIT_DESKTOP_TIMED_OUT : NEMBIT_DESKTOP_FAILED;
  }
  *reply = pending.reply;
  return NEMBIT_DESKTOP_OK;
}

// Whether the capabilities in `reply` (an array of strings) hold "body-markup".
bool has_body_markup(sd_bus_message* reply) {
  bool found = false;
  if (sd_bus_message_enter_container(reply, SD_BUS_TYPE_ARRAY, "s") < 0) return false;
  const char* capability = nullptr;
  while (sd_bus_message_read(reply, "s", &capability) > 0) {
    found = found || std::strcmp(capability, "body-markup") == 0;
  }
  sd_bus_message_exit_container(reply);
  return found;
}

NembitDesktop* open_desktop(NembitDesktopWait wait, void* context, int* body_markup, int* status,
                            char* error, size_t error_size) {
  // Connecting only starts here; signing in to the bus goes on while the
  // first call waits.
  sd_bus* bus = nullptr;
  int r = sd_bus_open_user(&bus);
  if (r < 0) {
    set_module_error(error, error_size, "no session bus", strerror(-r));
    *status = NEMBIT_DESKTOP_FAILED;
    return nullptr;
  }
  sd_bus_message* message = nullptr;
  r = sd_bus_message_new_method_call(bus, &message, kService, kPath, kInterface, "GetCapabilities");
  if (r < 0) {
    set_module_error(error, error_size, "cannot ask the desktop notification service",
                     strerror(-r));
    sd_bus_close_unref(bus);
    *status = NEMBIT_DESKTOP_FAILED;
    return nullptr;
  }
  sd_bus_message* reply = nullptr;
  *status = call(bus, message, wait, context, &reply, error, error_size);
  sd_bus_message_unref(message);
  if (*status != NEMBIT_DESKTOP_OK) {
    sd_bus_close_unref(bus);
    return nullptr;
  }
  *body_markup = has_body_markup(reply) ? 1 : 0;
  sd_bus_message_unref(reply);
  auto* desktop = static_cast<NembitDesktop*>(std::malloc(sizeof(NembitDesktop)));
  if (desktop == nullptr) {
    set_module_error(error, error_size, "out of memory", nullptr);
    sd_bus_close_unref(bus);
    *status = NEMBIT_DESKTOP_FAILED;
    return nullptr;
  }
  desktop->bus = bus;
  return desktop;
}

// Appends the arguments of Notify: app_name, replaces_id, app_icon, summary,
// body, actions, hints (the urgency alone) and expire_timeout.
int append_note(sd_bus_message* message, const NembitDesktopNote* note) {
  int r = sd_bus_message_append(message, "susss", note->app_name, note->replaces_id, note->app_icon,
                                note->summary, note->body);
  if (r >= 0) r = sd_bus_message_append(message, "as", 0);
  if (r >= 0) r = sd_bus_message_append(message, "a{sv}", 1, "urgency", "y", note->urgency);
  if (r >= 0) r = sd_bus_message_append(message, "i", note->expire_timeout);
  return r;
}

int notify_desktop(NembitDesktop* desktop, const NembitDesktopNote* note, unsigned int* id,
                   NembitDesktopWait wait, void* context, char* error, size_t error_size) {
  sd_bus_message* message = nullptr;
  int r =
      sd_bus_message_new_method_call(desktop->bus, &message, kService, kPath, kInterface, "Notify");
  if (r >= 0) r = append_note(message, note);
  if (r < 0) {
    set_module_error(error, error_size, "cannot compose the notice", strerror(-r));
    sd_bus_message_unref(message);
    return NEMBIT_DESKTOP_FAILED;
  }
  sd_bus_message* reply = nullptr;
  const int status = call(desktop->bus, message, wait, context, &reply, error, error_size);
  sd_bus_message_unref(message);
  if (status != NEMBIT_DESKTOP_OK) return status;
  uint32_t given = 0;
  *id = sd_bus_message_read(reply, "u", &given) > 0 ? given : 0;
  sd_bus_message_unref(reply);
  return NEMBIT_DESKTOP_OK;
}

void close_desktop(NembitDesktop* desktop) {
  if (desktop == nullptr) return;
  sd_bus_close_unref(desktop->bus);
  std::free(desktop);
}

constexpr NembitDesktopApi kApi = {NEMBIT_DESKTOP_ABI, open_desktop, notify_desktop, close_desktop};

}  // namespace

extern "C" __attribute__((visibility("default"))) const NembitDesktopApi* nembit_desktop_api() {
  return &kApi;
}
