// nembit-clipboard-owner: holds the X11 clipboard (the CLIPBOARD selection)
// for nembit, so that a copy costs one round trip to the X server instead of
// a tool started per file.
//
// nembit starts it at a run's first copy, with a socket to itself as
// standard input and output. It answers "ready" once it has reached the X
// server (or "error <reason>" and ends). Each text then comes as a line
// with its length in decimal followed by its bytes; the owner takes the
// selection with that text and answers "ok" once it owns it (or "error
// <reason>"). It serves the text as TARGETS, UTF8_STRING, TEXT, STRING and
// TIMESTAMP, in INCR pieces when it is longer than the server takes in one
// request. When nembit has gone, it keeps serving the last text until
// another client takes the selection, then ends; if it never owned the
// selection, it ends at once.
//
// It uses the C library and libxcb alone, and throws nothing.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Bytes of text, owned.
struct Bytes {
  char* data = nullptr;
  size_t size = 0;
};

void assign(Bytes& bytes, const char* data, size_t size) {
  std::free(bytes.data);
  bytes.data = static_cast<char*>(std::malloc(size > 0 ? size : 1));
  if (bytes.data == nullptr) std::exit(1);
  std::memcpy(bytes.data, data, size);
  bytes.size = size;
}

// The atoms that the selection speaks in.
struct Atoms {
  xcb_atom_t clipboard, targets, utf8_string, text, timestamp, incr, stamp;
};

// One INCR transfer under way: the rest of `data` goes to `property` of
// `requestor` in pieces, each when the requestor has deleted the last.
struct Transfer {
  xcb_window_t requestor = XCB_NONE;
  xcb_atom_t property = XCB_NONE;
  xcb_atom_t type = XCB_NONE;
  Bytes data;
  size_t sent = 0;
  bool done = false;
};

constexpr size_t kMaxTransfers = 16;

struct Owner {
  xcb_connection_t* x = nullptr;
  xcb_window_t window = XCB_NONE;
  Atoms atoms{};
  size_t piece = 0;  // The most that one property change carries.
  Bytes utf8;        // The text, as given.
  Bytes latin1;      // The text as STRING: ISO Latin-1, "?" for what it lacks.
  bool owns = false;
  xcb_timestamp_t since = XCB_CURRENT_TIME;
  Transfer transfers[kMaxTransfers];
};

void reply(const char* line) {
  const size_t size = std::strlen(line);
  size_t done = 0;
  while (done < size) {
    const ssize_t put = ::write(STDOUT_FILENO, line + done, size - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return;  // nembit has gone.
    done += static_cast<size_t>(put);
  }
}

void fail(const char* what, const char* detail) {
  char line[512];
  std::snprintf(line, sizeof line, "error %s%s%s\n", what, detail != nullptr ? ": " : "",
                detail != nullptr ? detail : "");
  reply(line);
}

// `text` as ISO Latin-1: each character up to U+00FF as one byte, any other,
// and any byte that is no UTF-8, as "?".
void to_latin1(const Bytes& text, Bytes& latin1) {
  char* out = static_cast<char*>(std::malloc(text.size > 0 ? text.size : 1));
  if (out == nullptr) std::exit(1);
  size_t size = 0;
  for (size_t at = 0; at < text.size;) {
    const auto byte = static_cast<unsigned char>(text.data[at]);
    if (byte < 0x80U) {
      out[size++] = static_cast<char>(byte);
      ++at;
      continue;
    }
    const size_t length = byte >= 0xF0U ? 4 : byte >= 0xE0U ? 3 : byte >= 0xC0U ? 2 : 1;
    if (length == 2 && at + 1 < text.size && byte <= 0xC3U) {
      out[size++] = static_cast<char>(((byte & 0x03U) << 6U) |
                                      (static_cast<unsigned char>(text.data[at + 1]) & 0x3FU));
    } else {
      out[size++] = '?';
    }
    at += length;
  }
  std::free(latin1.data);
  latin1.data = out;
  latin1.size = size;
}

xcb_atom_t intern(xcb_connection_t* x, xcb_intern_atom_cookie_t cookie) {
  xcb_intern_atom_reply_t* answer = xcb_intern_atom_reply(x, cookie, nullptr);
  const xcb_atom_t atom = answer != nullptr ? answer->atom : XCB_NONE;
  std::free(answer);
  return atom;
}

bool connect(Owner& owner) {
  int screen_number = 0;
  owner.x = xcb_connect(nullptr, &screen_number);
  if (xcb_connection_has_error(owner.x) != 0) {
    const char* display = std::getenv("DISPLAY");
    fail("cannot open the display", display != nullptr ? display : "(DISPLAY is not set)");
    return false;
  }
  const xcb_setup_t* setup = xcb_get_setup(owner.x);
  xcb_screen_iterator_t screens = xcb_setup_roots_iterator(setup);
  for (int i = 0; i < screen_number && screens.rem > 1; ++i) xcb_screen_next(&screens);
  const xcb_screen_t* screen = screens.data;
  // Without the BIG-REQUESTS extension, as every client can take it.
  const size_t most = size_t{setup->maximum_request_length} * 4;
  owner.piece = most > 1024 ? most - 1024 : most / 2;

  static const char* const kNames[] = {"CLIPBOARD", "TARGETS", "UTF8_STRING", "TEXT",
                                       "TIMESTAMP", "INCR",    "NEMBIT_STAMP"};
  xcb_intern_atom_cookie_t cookies[7];
  for (int i = 0; i < 7; ++i) {
    cookies[i] =
        xcb_intern_atom(owner.x, 0, static_cast<uint16_t>(std::strlen(kNames[i])), kNames[i]);
  }
  xcb_atom_t* const slots[] = {
      &owner.atoms.clipboard, &owner.atoms.targets, &owner.atoms.utf8_string, &owner.atoms.text,
      &owner.atoms.timestamp, &owner.atoms.incr,    &owner.atoms.stamp};
  for (int i = 0; i < 7; ++i) *slots[i] = intern(owner.x, cookies[i]);

  owner.window = xcb_generate_id(owner.x);
  const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
  xcb_create_window(owner.x, XCB_COPY_FROM_PARENT, owner.window, screen->root, 0, 0, 1, 1, 0,
                    XCB_WINDOW_CLASS_INPUT_ONLY, screen->root_visual, XCB_CW_EVENT_MASK, &events);
  xcb_flush(owner.x);
  if (xcb_connection_has_error(owner.x) != 0 || owner.atoms.clipboard == XCB_NONE) {
    fail("lost the display", nullptr);
    return false;
  }
  return true;
}

void notify_requestor(Owner& owner, const xcb_selection_request_event_t* request,
                      xcb_atom_t property) {
  xcb_selection_notify_event_t notice{};
  notice.response_type = XCB_SELECTION_NOTIFY;
  notice.time = request->time;
  notice.requestor = request->requestor;
  notice.selection = request->selection;
  notice.target = request->target;
  notice.property = property;
  xcb_send_event(owner.x, 0, request->requestor, XCB_EVENT_MASK_NO_EVENT,
                 reinterpret_cast<const char*>(&notice));
}

// Starts an INCR transfer of `data`; false when too many are under way.
bool start_transfer(Owner& owner, const xcb_selection_request_event_t* request, xcb_atom_t property,
                    xcb_atom_t type, const Bytes& data) {
  for (Transfer& transfer : owner.transfers) {
    if (transfer.requestor != XCB_NONE) continue;
    transfer.requestor = request->requestor;
    transfer.property = property;
    transfer.type = type;
    assign(transfer.data, data.data, data.size);
    transfer.sent = 0;
    transfer.done = false;
    const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(owner.x, request->requestor, XCB_CW_EVENT_MASK, &events);
    const auto size = static_cast<uint32_t>(data.size);
    xcb_change_property(owner.x, XCB_PROP_MODE_REPLACE, request->requestor, property,
                        owner.atoms.incr, 32, 1, &size);
    return true;
  }
  return false;
}

// Puts `data` in the requestor's property, at once or in INCR pieces;
// false when it cannot.
bool give(Owner& owner, const xcb_selection_request_event_t* request, xcb_atom_t property,
          xcb_atom_t type, const Bytes& data) {
  if (data.size > owner.piece) return start_transfer(owner, request, property, type, data);
  xcb_change_property(owner.x, XCB_PROP_MODE_REPLACE, request->requestor, property, type, 8,
                      static_cast<uint32_t>(data.size), data.data);
  return true;
}

void answer(Owner& owner, const xcb_selection_request_event_t* request) {
  // Obsolete clients name no property: the target then stands for it.
  const xcb_atom_t property = request->property != XCB_NONE ? request->property : request->target;
  const Atoms& atoms = owner.atoms;
  bool given = false;
  if (owner.owns && request->selection == atoms.clipboard) {
    if (request->target == atoms.targets) {
      const xcb_atom_t offered[] = {atoms.targets, atoms.timestamp, atoms.utf8_string, atoms.text,
                                    XCB_ATOM_STRING};
      xcb_change_property(owner.x, XCB_PROP_MODE_REPLACE, request->requestor, property,
                          XCB_ATOM_ATOM, 32, 5, offered);
      given = true;
    } else if (request->target == atoms.timestamp) {
      xcb_change_property(owner.x, XCB_PROP_MODE_REPLACE, request->requestor, property,
                          XCB_ATOM_INTEGER, 32, 1, &owner.since);
      given = true;
    } else if (request->target == atoms.utf8_string || request->target == atoms.text) {
      given = give(owner, request, property, atoms.utf8_string, owner.utf8);
    } else if (request->target == XCB_ATOM_STRING) {
      given = give(owner, request, property, XCB_ATOM_STRING, owner.latin1);
    }
  }
  notify_requestor(owner, request, given ? property : XCB_NONE);
  xcb_flush(owner.x);
}

// Sends the next piece of the transfer whose property was just deleted.
void continue_transfer(Owner& owner, const xcb_property_notify_event_t* event) {
  if (event->state != XCB_PROPERTY_DELETE) return;
  for (Transfer& transfer : owner.transfers) {
    if (transfer.requestor != event->window || transfer.property != event->atom) continue;
    if (transfer.done) {
      const uint32_t none = XCB_EVENT_MASK_NO_EVENT;
      xcb_change_window_attributes(owner.x, transfer.requestor, XCB_CW_EVENT_MASK, &none);
      transfer.requestor = XCB_NONE;
      std::free(transfer.data.data);
      transfer.data = {};
    } else {
      size_t size = transfer.data.size - transfer.sent;
      if (size > owner.piece) size = owner.piece;
      // The last piece is empty, which ends the transfer.
      xcb_change_property(owner.x, XCB_PROP_MODE_REPLACE, transfer.requestor, transfer.property,
                          transfer.type, 8, static_cast<uint32_t>(size),
                          transfer.data.data + transfer.sent);
      transfer.sent += size;
      transfer.done = size == 0;
    }
    xcb_flush(owner.x);
    return;
  }
}

// Takes the selection with the text now held, in one round trip: a
// property change tells the server's time, and asking who owns the
// selection confirms that this owner does.
bool take_selection(Owner& owner) {
  xcb_change_property(owner.x, XCB_PROP_MODE_APPEND, owner.window, owner.atoms.stamp,
                      XCB_ATOM_STRING, 8, 0, "");
  xcb_set_selection_owner(owner.x, owner.window, owner.atoms.clipboard, XCB_CURRENT_TIME);
  xcb_get_selection_owner_cookie_t cookie = xcb_get_selection_owner(owner.x, owner.atoms.clipboard);
  xcb_get_selection_owner_reply_t* answer = xcb_get_selection_owner_reply(owner.x, cookie, nullptr);
  owner.owns = answer != nullptr && answer->owner == owner.window;
  std::free(answer);
  return owner.owns;
}

void handle(Owner& owner, xcb_generic_event_t* event) {
  switch (event->response_type & 0x7FU) {
    case XCB_SELECTION_REQUEST:
      answer(owner, reinterpret_cast<xcb_selection_request_event_t*>(event));
      break;
    case XCB_SELECTION_CLEAR:
      owner.owns = false;
      break;
    case XCB_PROPERTY_NOTIFY: {
      auto* notice = reinterpret_cast<xcb_property_notify_event_t*>(event);
      if (notice->window == owner.window && notice->atom == owner.atoms.stamp) {
        owner.since = notice->time;
      } else {
        continue_transfer(owner, notice);
      }
      break;
    }
    default:
      break;
  }
}

// Handles every event that has come. False when the display is lost.
bool drain(Owner& owner) {
  while (xcb_generic_event_t* event = xcb_poll_for_event(owner.x)) {
    handle(owner, event);
    std::free(event);
  }
  return xcb_connection_has_error(owner.x) == 0;
}

// The messages from nembit: "<length>\n" then that many bytes.
struct Inbox {
  Bytes buffer;
  size_t used = 0;
  bool closed = false;
};

void receive(Inbox& inbox) {
  if (inbox.buffer.size - inbox.used < 65536) {
    const size_t size = inbox.buffer.size * 2 + 65536;
    char* grown = static_cast<char*>(std::realloc(inbox.buffer.data, size));
    if (grown == nullptr) std::exit(1);
    inbox.buffer.data = grown;
    inbox.buffer.size = size;
  }
  const ssize_t got =
      ::read(STDIN_FILENO, inbox.buffer.data + inbox.used, inbox.buffer.size - inbox.used);
  if (got > 0) {
    inbox.used += static_cast<size_t>(got);
  } else if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
    inbox.closed = true;
  }
}

// Takes the next whole text out of `inbox` into `text`; false while none.
bool next_text(Inbox& inbox, Bytes& text) {
  if (inbox.used == 0) return false;
  const void* end = std::memchr(inbox.buffer.data, '\n', inbox.used);
  if (end == nullptr) return false;
  const size_t header = static_cast<size_t>(static_cast<const char*>(end) - inbox.buffer.data) + 1;
  const size_t size = std::strtoul(inbox.buffer.data, nullptr, 10);
  if (inbox.used < header + size) return false;
  assign(text, inbox.buffer.data + header, size);
  inbox.used -= header + size;
  std::memmove(inbox.buffer.data, inbox.buffer.data + header + size, inbox.used);
  return true;
}

// Serves the selection and the texts that come until the owner's part is
// done; the exit status.
int serve(Owner& owner, Inbox& inbox) {
  reply("ready\n");
  const int display = xcb_get_file_descriptor(owner.x);
  for (;;) {
    if (!drain(owner)) return 1;
    Bytes text;
    while (next_text(inbox, text)) {
      std::free(owner.utf8.data);
      owner.utf8 = text;
      text = {};
      to_latin1(owner.utf8, owner.latin1);
      if (take_selection(owner)) {
        reply("ok\n");
      } else {
        fail("another client holds the clipboard", nullptr);
      }
      if (!drain(owner)) return 1;
    }
    // Once nembit has gone, the owner lasts as long as it owns the selection.
    if (inbox.closed && !owner.owns) return 0;
    pollfd waits[2] = {{display, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
    const nfds_t count = inbox.closed ? 1 : 2;
    if (::poll(waits, count, -1) < 0 && errno != EINTR) return 1;
    if (count == 2 && waits[1].revents != 0) receive(inbox);
  }
}

void release(Owner& owner, Inbox& inbox) {
  std::free(owner.utf8.data);
  std::free(owner.latin1.data);
  for (Transfer& transfer : owner.transfers) std::free(transfer.data.data);
  std::free(inbox.buffer.data);
  if (owner.x != nullptr) xcb_disconnect(owner.x);
}

}  // namespace

int main() {
  // No terminal, no folder kept busy, and no end by the hang-up of a
  // terminal or by writing to a nembit that has gone.
  std::signal(SIGHUP, SIG_IGN);
  std::signal(SIGPIPE, SIG_IGN);
  if (::chdir("/") != 0) return 1;
  Owner owner;
  Inbox inbox;
  const int status = connect(owner) ? serve(owner, inbox) : 1;
  release(owner, inbox);
  return status;
}
