// nembit-clipboard-owner: holds the X11 clipboard (the CLIPBOARD selection)
// for nembit, so that a copy costs one round trip to the X server instead of
// a tool started per file. It speaks to nembit as nembit_link.h says, and serves
// the text as TARGETS, UTF8_STRING, TEXT, STRING and TIMESTAMP, in INCR
// pieces when it is longer than the server takes in one request. A newer
// text waits for the readers of the one it replaces as read_chance.h says.
// It uses the C library and libxcb alone.
#include <poll.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "clipboard/owner/clock.h"
#include "clipboard/owner/link_words.h"
#include "clipboard/owner/nembit_link.h"
#include "clipboard/owner/read_chance.h"
#include "common/utf8.h"

namespace nembit::owner {
namespace {

// The atoms that the selection speaks in.
struct Atoms {
  xcb_atom_t clipboard, targets, utf8_string, text, timestamp, incr, stamp;
};

// One INCR transfer under way: the rest of `data` goes to `property` of
// `requestor` in pieces, each when the requestor has deleted the last. A
// requestor that goes, or takes no piece for kReaderLimitMs, loses it.
struct Transfer {
  xcb_window_t requestor = XCB_NONE;
  xcb_atom_t property = XCB_NONE;
  xcb_atom_t type = XCB_NONE;
  Bytes data;
  size_t sent = 0;
  bool done = false;
  bool of_text = false;  // It carries the text now held.
  int64_t deadline = 0;
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
  WaitingText pending;
  ReadChance chance;
};

// `text` as ISO Latin-1: each character up to U+00FF as one byte, any other
// as "?", and each byte that begins no well-formed UTF-8 sequence as "?" of
// its own, the next byte being read afresh.
void to_latin1(const Bytes& text, Bytes& latin1) {
  assign(latin1, nullptr, text.size);
  char* out = latin1.data;
  const std::string_view view(text.data, text.size);
  size_t size = 0;
  for (size_t at = 0; at < view.size();) {
    const auto byte = static_cast<unsigned char>(view[at]);
    const size_t length = nembit::utf8_sequence_length(view, at);
    if (length == 1) {
      out[size++] = static_cast<char>(byte);
    } else if (length == 2 && byte <= 0xC3U) {
      out[size++] = static_cast<char>(((byte & 0x03U) << 6U) |
                                      (static_cast<unsigned char>(view[at + 1]) & 0x3FU));
    } else {
      out[size++] = '?';
    }
    at += length > 0 ? length : 1;
  }
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
    reply_error("cannot open the display", display != nullptr ? display : "(DISPLAY is not set)");
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
    reply_error("lost the display", nullptr);
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
    transfer.data = share(data);
    transfer.sent = 0;
    transfer.done = false;
    transfer.of_text = true;
    transfer.deadline = now_ms() + kReaderLimitMs;
    const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(owner.x, request->requestor, XCB_CW_EVENT_MASK, &events);
    const auto size = static_cast<uint32_t>(data.size);
    xcb_change_property(owner.x, XCB_PROP_MODE_REPLACE, request->requestor, property,
                        owner.atoms.incr, 32, 1, &size);
    return true;
  }
  return false;
}

// Puts `data` in the requestor's property, at once or in INCR pieces;
// false when it cannot. A reader that has it all may be a clipboard manager.
bool give(Owner& owner, const xcb_selection_request_event_t* request, xcb_atom_t property,
          xcb_atom_t type, const Bytes& data) {
  if (data.size > owner.piece) return start_transfer(owner, request, property, type, data);
  xcb_change_property(owner.x, XCB_PROP_MODE_REPLACE, request->requestor, property, type, 8,
                      static_cast<uint32_t>(data.size), data.data);
  note_read(owner.chance);
  owner.chance.readers = 0;
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
      owner.chance.readers = 1;  // It asks for the text next.
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

// Ends `transfer`, which frees its slot.
void end_transfer(Owner& owner, Transfer& transfer) {
  const uint32_t none = XCB_EVENT_MASK_NO_EVENT;
  xcb_change_window_attributes(owner.x, transfer.requestor, XCB_CW_EVENT_MASK, &none);
  transfer.requestor = XCB_NONE;
  release(transfer.data);
}

// Sends the next piece of the transfer whose property was just deleted.
void continue_transfer(Owner& owner, const xcb_property_notify_event_t* event) {
  if (event->state != XCB_PROPERTY_DELETE) return;
  for (Transfer& transfer : owner.transfers) {
    if (transfer.requestor != event->window || transfer.property != event->atom) continue;
    if (transfer.done) {
      if (transfer.of_text) {
        note_read(owner.chance);
        owner.chance.readers = 0;
      }
      end_transfer(owner, transfer);
    } else {
      size_t size = transfer.data.size - transfer.sent;
      if (size > owner.piece) size = owner.piece;
      // The last piece is empty, which ends the transfer.
      xcb_change_property(owner.x, XCB_PROP_MODE_REPLACE, transfer.requestor, transfer.property,
                          transfer.type, 8, static_cast<uint32_t>(size),
                          transfer.data.data + transfer.sent);
      transfer.sent += size;
      transfer.done = size == 0;
      transfer.deadline = now_ms() + kReaderLimitMs;
    }
    xcb_flush(owner.x);
    return;
  }
}

// Ends the readers, the transfers whose requestor has gone (`gone`, a
// destroyed window) or has taken no piece in time; returns how long the next
// one may wait still, or -1 when none is under way.
int end_stalled_readers(Owner& owner, xcb_window_t gone) {
  const int64_t now = now_ms();
  int64_t wait = -1;
  for (Transfer& transfer : owner.transfers) {
    if (transfer.requestor == XCB_NONE) continue;
    if (transfer.requestor == gone || transfer.deadline <= now) {
      end_transfer(owner, transfer);
      xcb_flush(owner.x);
    } else if (wait < 0 || transfer.deadline - now < wait) {
      wait = transfer.deadline - now;
    }
  }
  return static_cast<int>(wait);
}

// Takes the selection with the text now held, in one round trip: a
// property change tells the server's time, and asking who owns the
// selection confirms that this owner does.
// Another client may have taken the selection since, such as a clipboard
// manager re-serving what it read: the text was on the clipboard all the
// same.
void take_selection(Owner& owner) {
  xcb_change_property(owner.x, XCB_PROP_MODE_APPEND, owner.window, owner.atoms.stamp,
                      XCB_ATOM_STRING, 8, 0, "");
  xcb_set_selection_owner(owner.x, owner.window, owner.atoms.clipboard, XCB_CURRENT_TIME);
  xcb_get_selection_owner_cookie_t cookie = xcb_get_selection_owner(owner.x, owner.atoms.clipboard);
  xcb_get_selection_owner_reply_t* answer = xcb_get_selection_owner_reply(owner.x, cookie, nullptr);
  owner.owns = answer != nullptr && answer->owner == owner.window;
  std::free(answer);
  if (owner.owns) outlive_parent();
  for (Transfer& transfer : owner.transfers) transfer.of_text = false;
  note_new_text(owner.chance, now_ms());
  owner.chance.owned = owner.owns;
  if (xcb_connection_has_error(owner.x) != 0) {
    reply_error("lost the display", nullptr);
  } else {
    reply(clipboard::link::kOk);
  }
}

// Makes the waiting text the selection once the one held has had its
// chance; how long it may wait still, or -1 when none waits.
int take_pending(Owner& owner) {
  Bytes text;
  int wait = -1;
  if (!take_turn(owner.pending, owner.chance, /*first_text_chance=*/false, now_ms(), text, wait)) {
    return wait;
  }
  release(owner.utf8);
  owner.utf8 = text;
  to_latin1(owner.utf8, owner.latin1);
  take_selection(owner);
  return -1;
}

void handle(Owner& owner, xcb_generic_event_t* event) {
  switch (event->response_type & 0x7FU) {
    case XCB_SELECTION_REQUEST:
      answer(owner, reinterpret_cast<xcb_selection_request_event_t*>(event));
      break;
    case XCB_SELECTION_CLEAR:
      owner.owns = false;
      note_taken_over(owner.chance);
      break;
    case XCB_DESTROY_NOTIFY:
      end_stalled_readers(owner, reinterpret_cast<xcb_destroy_notify_event_t*>(event)->window);
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

// Serves the selection and the texts that come until the owner's part is
// done; the exit status.
int serve(Owner& owner, Inbox& inbox) {
  reply(clipboard::link::kReady);
  const int display = xcb_get_file_descriptor(owner.x);
  for (;;) {
    if (!drain(owner)) return 1;
    Bytes text;
    // The run's first text is the selection at once, whatever comes with it.
    while (next_text(inbox, text)) {
      queue_text(owner.pending, text);
      text = {};
      if (owner.chance.set_at < 0) take_pending(owner);
    }
    const int held = take_pending(owner);
    if (!drain(owner)) return 1;
    // Once nembit has gone, the owner lasts as long as it owns the
    // selection, and the next run may reach it meanwhile.
    if (inbox.closed && !owner.owns && !owner.pending.waiting) return 0;
    await_next_run(inbox, !owner.pending.waiting);
    pollfd waits[2] = {{display, POLLIN, 0}, {link_fd(inbox), POLLIN, 0}};
    const int wait = soonest({held, end_stalled_readers(owner, XCB_NONE)});
    if (::poll(waits, 2, wait) < 0 && errno != EINTR) return 1;
    // A new run's first text is the selection at once, as the first of all.
    if (waits[1].revents != 0 && receive(inbox)) owner.chance = {};
  }
}

void shut_down(Owner& owner) {
  release(owner.utf8);
  release(owner.latin1);
  release(owner.pending.text);
  for (Transfer& transfer : owner.transfers) release(transfer.data);
  if (owner.x != nullptr) xcb_disconnect(owner.x);
}

}  // namespace

int run(Inbox& inbox) {
  Owner owner;
  name_next_run(inbox, std::getenv("DISPLAY"));
  const int status = connect(owner) ? serve(owner, inbox) : 1;
  shut_down(owner);
  return status;
}

}  // namespace nembit::owner
