// Test support: asks the owner of the X11 clipboard for its text as the
// target $1 and prints how it came ("INCR" when in pieces, otherwise the
// type's name) on a line, then the text. With a second argument "stall",
// it starts an INCR transfer, takes no piece of it, and ends; with "slow",
// it waits 1.5 s before it takes each piece.
#include <poll.h>
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

xcb_connection_t* x = nullptr;

xcb_atom_t atom(const char* name) {
  xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
      x, xcb_intern_atom(x, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
  const xcb_atom_t found = reply != nullptr ? reply->atom : XCB_NONE;
  std::free(reply);
  return found;
}

// The next event of `type`, or null after five seconds without one.
xcb_generic_event_t* wait_for(uint8_t type) {
  for (;;) {
    while (xcb_generic_event_t* event = xcb_poll_for_event(x)) {
      if ((event->response_type & 0x7FU) == type) return event;
      std::free(event);
    }
    pollfd display{xcb_get_file_descriptor(x), POLLIN, 0};
    if (::poll(&display, 1, 5000) <= 0) return nullptr;
  }
}

// The property's value, deleted as it is read; its type in `type`.
std::string take(xcb_window_t window, xcb_atom_t property, xcb_atom_t& type) {
  xcb_get_property_reply_t* reply = xcb_get_property_reply(
      x, xcb_get_property(x, 1, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1U << 28U),
      nullptr);
  if (reply == nullptr) std::exit(2);
  type = reply->type;
  std::string value(static_cast<const char*>(xcb_get_property_value(reply)),
                    static_cast<size_t>(xcb_get_property_value_length(reply)));
  std::free(reply);
  return value;
}

}  // namespace

int main(int argc, char** argv) {
  x = xcb_connect(nullptr, nullptr);
  if (argc < 2 || xcb_connection_has_error(x) != 0) return 2;
  const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(x)).data;
  const xcb_window_t window = xcb_generate_id(x);
  const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
  xcb_create_window(x, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 1, 1, 0,
                    XCB_WINDOW_CLASS_INPUT_ONLY, screen->root_visual, XCB_CW_EVENT_MASK, &events);
  const xcb_atom_t property = atom("NEMBIT_PASTE");
  const xcb_atom_t incr = atom("INCR");
  xcb_convert_selection(x, window, atom("CLIPBOARD"), atom(argv[1]), property, XCB_CURRENT_TIME);
  xcb_flush(x);
  xcb_generic_event_t* notice = wait_for(XCB_SELECTION_NOTIFY);
  if (notice == nullptr ||
      reinterpret_cast<xcb_selection_notify_event_t*>(notice)->property == XCB_NONE) {
    return 1;
  }
  std::free(notice);
  xcb_atom_t type = XCB_NONE;
  std::string text = take(window, property, type);
  if (type == incr) {
    std::puts("INCR");
    if (argc > 2 && std::strcmp(argv[2], "stall") == 0) return 0;
    const bool slow = argc > 2 && std::strcmp(argv[2], "slow") == 0;
    xcb_flush(x);  // The deletion asks for the first piece.
    text.clear();
    for (std::string piece = "-"; !piece.empty(); text += piece) {
      for (;;) {
        auto* event = reinterpret_cast<xcb_property_notify_event_t*>(wait_for(XCB_PROPERTY_NOTIFY));
        if (event == nullptr) return 1;
        const bool fresh = event->atom == property && event->state == XCB_PROPERTY_NEW_VALUE;
        std::free(event);
        if (fresh) break;
      }
      if (slow) std::this_thread::sleep_for(std::chrono::milliseconds(1500));
      piece = take(window, property, type);
      xcb_flush(x);
    }
  } else {
    xcb_get_atom_name_reply_t* name =
        xcb_get_atom_name_reply(x, xcb_get_atom_name(x, type), nullptr);
    std::printf("%.*s\n", name != nullptr ? xcb_get_atom_name_name_length(name) : 0,
                name != nullptr ? xcb_get_atom_name_name(name) : "");
    std::free(name);
  }
  std::fwrite(text.data(), 1, text.size(), stdout);
  xcb_disconnect(x);
}
