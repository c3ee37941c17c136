// nembit-wayland-owner: holds the Wayland clipboard for nembit through the
// data-control protocol (zwlr_data_control_manager_v1, which wlroots
// compositors such as sway and KDE's KWin offer), so that a copy costs one
// round trip to the compositor instead of a tool started per file. It
// speaks to nembit as link.h says; it answers "error" at once where the
// compositor lacks the protocol (GNOME), and nembit then copies with
// wl-copy. Each text is offered as text/plain;charset=utf-8, text/plain,
// UTF8_STRING, STRING and TEXT. Readers are served without waiting on any
// of them: each gets the text through a non-blocking pipe, shared rather
// than copied, and one that stops reading for kReaderLimitMs is dropped. It
// uses the C library and libwayland-client alone.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "clipboard/owner/link.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"

namespace nembit::owner {
namespace {

constexpr const char* kTypes[] = {"text/plain;charset=utf-8", "text/plain", "UTF8_STRING", "STRING",
                                  "TEXT"};
constexpr size_t kMaxReaders = 64;
constexpr int64_t kReaderLimitMs = 5000;

// A text that readers may still be taking after a newer one came.
struct Text {
  Bytes bytes;
  int users = 0;
};

Text* hold(Text* text) {
  ++text->users;
  return text;
}

void drop(Text* text) {
  if (text != nullptr && --text->users == 0) {
    release(text->bytes);
    std::free(text);
  }
}

// One client taking the text through the pipe it gave.
struct Reader {
  int fd = -1;
  Text* text = nullptr;
  size_t sent = 0;
  int64_t deadline = 0;
};

struct Owner {
  wl_display* display = nullptr;
  wl_seat* seat = nullptr;
  zwlr_data_control_manager_v1* manager = nullptr;
  zwlr_data_control_device_v1* device = nullptr;
  zwlr_data_control_source_v1* source = nullptr;  // The one nembit's last text is in.
  Text* text = nullptr;
  bool owns = false;  // The compositor made the source the selection.
  bool gone = false;  // The device is no longer valid.
  Reader readers[kMaxReaders];
};

void end_reader(Reader& reader) {
  ::close(reader.fd);
  drop(reader.text);
  reader = {};
}

// Writes what the reader's pipe takes now; ends the reader once it has all,
// or stops reading.
void serve_reader(Reader& reader) {
  while (reader.sent < reader.text->bytes.size) {
    const ssize_t put = ::write(reader.fd, reader.text->bytes.data + reader.sent,
                                reader.text->bytes.size - reader.sent);
    if (put > 0) {
      reader.sent += static_cast<size_t>(put);
      reader.deadline = now_ms() + kReaderLimitMs;
    } else if (put < 0 && errno == EINTR) {
      continue;
    } else if (put < 0 && errno == EAGAIN) {
      return;
    } else {
      break;  // The reader has gone.
    }
  }
  end_reader(reader);
}

void on_send(void* data, zwlr_data_control_source_v1* source, const char* /*type*/, int32_t fd) {
  auto& owner = *static_cast<Owner*>(data);
  if (source != owner.source || owner.text == nullptr) {
    ::close(fd);
    return;
  }
  for (Reader& reader : owner.readers) {
    if (reader.fd >= 0) continue;
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    reader = {.fd = fd, .text = hold(owner.text), .sent = 0, .deadline = now_ms() + kReaderLimitMs};
    serve_reader(reader);
    return;
  }
  ::close(fd);  // Too many at once: this one gets nothing.
}

void on_cancelled(void* data, zwlr_data_control_source_v1* source) {
  auto& owner = *static_cast<Owner*>(data);
  if (source == owner.source) {
    owner.source = nullptr;
    owner.owns = false;  // Another client took the clipboard.
  }
  zwlr_data_control_source_v1_destroy(source);
}

constexpr zwlr_data_control_source_v1_listener kSourceListener = {on_send, on_cancelled};

void on_confirmed(void* data, wl_callback* callback, uint32_t /*serial*/) {
  auto& owner = *static_cast<Owner*>(data);
  wl_callback_destroy(callback);
  owner.owns = owner.source != nullptr;
  if (owner.owns) {
    reply("ok\n");
  } else {
    reply_error("another client holds the clipboard", nullptr);
  }
}

constexpr wl_callback_listener kConfirmListener = {on_confirmed};

// Offers `bytes` as the selection; the answer goes to nembit once the
// compositor has handled it.
void take_selection(Owner& owner, Bytes bytes) {
  drop(owner.text);
  owner.text = static_cast<Text*>(std::calloc(1, sizeof(Text)));
  if (owner.text == nullptr) std::exit(1);
  owner.text->bytes = bytes;
  hold(owner.text);
  zwlr_data_control_source_v1* source =
      zwlr_data_control_manager_v1_create_data_source(owner.manager);
  zwlr_data_control_source_v1_add_listener(source, &kSourceListener, &owner);
  for (const char* type : kTypes) zwlr_data_control_source_v1_offer(source, type);
  zwlr_data_control_device_v1_set_selection(owner.device, source);
  if (owner.source != nullptr) zwlr_data_control_source_v1_destroy(owner.source);
  owner.source = source;
  wl_callback_add_listener(wl_display_sync(owner.display), &kConfirmListener, &owner);
}

// The offers of other clients, which the owner never reads.
void on_data_offer(void* /*data*/, zwlr_data_control_device_v1* /*device*/,
                   zwlr_data_control_offer_v1* /*offer*/) {}

// The clipboard and the primary selection as they now stand: the owner
// learns of its own loss through its source, and needs neither offer.
void drop_offer(void* /*data*/, zwlr_data_control_device_v1* /*device*/,
                zwlr_data_control_offer_v1* offer) {
  if (offer != nullptr) zwlr_data_control_offer_v1_destroy(offer);
}

void on_finished(void* data, zwlr_data_control_device_v1* /*device*/) {
  static_cast<Owner*>(data)->gone = true;
}

constexpr zwlr_data_control_device_v1_listener kDeviceListener = {on_data_offer, drop_offer,
                                                                  on_finished, drop_offer};

void on_global(void* data, wl_registry* registry, uint32_t name, const char* interface,
               uint32_t /*version*/) {
  auto& owner = *static_cast<Owner*>(data);
  if (owner.seat == nullptr && std::strcmp(interface, wl_seat_interface.name) == 0) {
    owner.seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
  } else if (std::strcmp(interface, zwlr_data_control_manager_v1_interface.name) == 0) {
    owner.manager = static_cast<zwlr_data_control_manager_v1*>(
        wl_registry_bind(registry, name, &zwlr_data_control_manager_v1_interface, 1));
  }
}

void on_global_remove(void* /*data*/, wl_registry* /*registry*/, uint32_t /*name*/) {}

constexpr wl_registry_listener kRegistryListener = {on_global, on_global_remove};

// Reaches the compositor and its data-control manager; false, after saying
// why, when it cannot.
bool connect(Owner& owner) {
  owner.display = wl_display_connect(nullptr);
  if (owner.display == nullptr) {
    const char* name = std::getenv("WAYLAND_DISPLAY");
    reply_error("cannot connect to the Wayland display",
                name != nullptr ? name : "(WAYLAND_DISPLAY is not set)");
    return false;
  }
  wl_registry* registry = wl_display_get_registry(owner.display);
  wl_registry_add_listener(registry, &kRegistryListener, &owner);
  if (wl_display_roundtrip(owner.display) < 0) {
    reply_error("lost the Wayland display", nullptr);
    return false;
  }
  wl_registry_destroy(registry);
  if (owner.manager == nullptr || owner.seat == nullptr) {
    reply_error("the compositor offers no data-control protocol", nullptr);
    return false;
  }
  owner.device = zwlr_data_control_manager_v1_get_data_device(owner.manager, owner.seat);
  zwlr_data_control_device_v1_add_listener(owner.device, &kDeviceListener, &owner);
  return true;
}

// How long the owner may wait for something to happen: until the first
// reader's time is up, or without end.
int wait_limit(Owner& owner) {
  const int64_t now = now_ms();
  int64_t wait = -1;
  for (Reader& reader : owner.readers) {
    if (reader.fd < 0) continue;
    if (reader.deadline <= now) {
      end_reader(reader);
    } else if (wait < 0 || reader.deadline - now < wait) {
      wait = reader.deadline - now;
    }
  }
  return static_cast<int>(wait);
}

bool has_readers(const Owner& owner) {
  return std::ranges::any_of(owner.readers, [](const Reader& reader) { return reader.fd >= 0; });
}

// Serves the clipboard and the texts that come until the owner's part is
// done; the exit status.
int serve(Owner& owner, Inbox& inbox) {
  reply("ready\n");
  pollfd waits[2 + kMaxReaders];
  for (;;) {
    while (wl_display_prepare_read(owner.display) != 0) {
      if (wl_display_dispatch_pending(owner.display) < 0) return 1;
    }
    wl_display_flush(owner.display);
    // Once nembit has gone, the owner lasts as long as it holds the
    // clipboard, or a reader still takes its text.
    if (owner.gone || (inbox.closed && !owner.owns && !has_readers(owner))) {
      wl_display_cancel_read(owner.display);
      return owner.gone ? 1 : 0;
    }
    waits[0] = {wl_display_get_fd(owner.display), POLLIN, 0};
    waits[1] = {inbox.closed ? -1 : STDIN_FILENO, POLLIN, 0};
    for (size_t i = 0; i < kMaxReaders; ++i) waits[2 + i] = {owner.readers[i].fd, POLLOUT, 0};
    const int ready = ::poll(waits, 2 + kMaxReaders, wait_limit(owner));
    if (ready < 0 && errno != EINTR) {
      wl_display_cancel_read(owner.display);
      return 1;
    }
    if (ready > 0 && waits[0].revents != 0) {
      if (wl_display_read_events(owner.display) < 0) return 1;
    } else {
      wl_display_cancel_read(owner.display);
    }
    if (wl_display_dispatch_pending(owner.display) < 0) return 1;
    for (size_t i = 0; i < kMaxReaders; ++i) {
      if (owner.readers[i].fd >= 0 && waits[2 + i].revents != 0) serve_reader(owner.readers[i]);
    }
    if (ready > 0 && waits[1].revents != 0) {
      receive(inbox);
      Bytes text;
      while (next_text(inbox, text)) {
        take_selection(owner, text);
        text = {};
      }
    }
  }
}

// Frees all that the owner holds, and leaves the compositor.
void shut_down(Owner& owner) {
  for (Reader& reader : owner.readers) {
    if (reader.fd >= 0) end_reader(reader);
  }
  drop(owner.text);
  if (owner.source != nullptr) zwlr_data_control_source_v1_destroy(owner.source);
  if (owner.device != nullptr) zwlr_data_control_device_v1_destroy(owner.device);
  if (owner.manager != nullptr) zwlr_data_control_manager_v1_destroy(owner.manager);
  if (owner.seat != nullptr) wl_seat_destroy(owner.seat);
  if (owner.display != nullptr) wl_display_disconnect(owner.display);
}

}  // namespace

int run(Inbox& inbox) {
  Owner owner;
  const int status = connect(owner) ? serve(owner, inbox) : 1;
  shut_down(owner);
  return status;
}

}  // namespace nembit::owner
