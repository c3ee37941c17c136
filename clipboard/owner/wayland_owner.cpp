// nembit-wayland-owner: holds the Wayland clipboard for nembit through the
// data-control protocol (zwlr_data_control_manager_v1, which wlroots
// compositors such as sway and KDE's KWin offer), so that a copy costs one
// round trip to the compositor instead of a tool started per file. It
// speaks to nembit as nembit_link.h says; it answers "error" at once where the
// compositor lacks the protocol (GNOME), and nembit then copies with
// wl-copy. Each text is offered as text/plain;charset=utf-8, text/plain,
// UTF8_STRING, STRING and TEXT, and as the owners' mark. Readers are served
// as pipe_readers.h says; a newer text waits for the readers of the one it
// replaces as read_chance.h says; an older text that a manager puts back gets
// the newest on top again as older_text_guard.h says, where what the owners
// remember of the display (desktop_memory.h) lets it expect a manager. It
// uses the C library and libwayland-client alone.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <wayland-client.h>
#include <wlr-data-control-unstable-v1-client-protocol.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "clipboard/owner/clock.h"
#include "clipboard/owner/desktop_memory.h"
#include "clipboard/owner/link_words.h"
#include "clipboard/owner/nembit_link.h"
#include "clipboard/owner/offer_check.h"
#include "clipboard/owner/older_text_guard.h"
#include "clipboard/owner/pipe_readers.h"
#include "clipboard/owner/read_chance.h"
#include "clipboard/owner/wayland_compositor.h"

namespace nembit::owner {
namespace {

constexpr const char* kTypes[] = {"text/plain;charset=utf-8", "text/plain", "UTF8_STRING", "STRING",
                                  "TEXT"};
// A type of the owners' own, offered last, by which one owner tells that
// another holds the clipboard; a reader that asks for it gets the texts that
// the owner remembers (see handed_texts).
constexpr const char* kOwnerMark = "application/x-nembit-owner";

// The offer of another client that came last, and whether it holds the
// type that marks an owner of nembit's.
struct Incoming {
  zwlr_data_control_offer_v1* offer = nullptr;
  bool owners = false;
};

struct Owner {
  Compositor compositor;
  zwlr_data_control_source_v1* source = nullptr;  // The one nembit's last text is in.
  Bytes text;
  bool owns = false;  // The source is the selection.
  bool gone = false;  // The device is no longer valid.
  PipeReaders readers;
  WaitingText pending;
  ReadChance chance;
  OlderTextGuard guard;
  Incoming incoming;
  OfferCheck check;  // What another client offers, read to tell an older text put back.
  DisplayMemory display_memory;
  int unconfirmed = 0;   // Texts offered whose answer to nembit waits for the compositor.
  int64_t read_at = -1;  // When a reader of the run last had the text held whole.
  // What the clipboard held before the run is another run's, whose reader
  // may not be done with it (see reader_done): a manager busy with that one
  // asks for the run's first text too late, and so that one waits for none.
  bool before_busy = false;
};

// Whether a reader of the run was seen, or a manager is expected: then an
// older text put back is a manager's late re-serve.
bool manager_likely(const Owner& owner) {
  return owner.chance.reader_seen || owner.display_memory.expected == ReaderExpectation::kManager;
}

// Whether a reader of the run is done with the text held, now (see
// reader_done).
bool held_text_done(const Owner& owner) { return reader_done(owner.read_at, now_ms()); }

// Notes how many readers of the text now held do not have it all yet.
void count_readers(Owner& owner) {
  owner.chance.readers = readers_of(owner.readers, owner.text.data);
}

// How long the newest text is guarded still at `now`, or 0: only where a
// manager that may put an older text back is likely.
int64_t guarding(const Owner& owner, int64_t now) {
  return manager_likely(owner) ? guard_left(owner.guard, now) : 0;
}

// Writes what the reader's pipe takes now; a reader that has had the text
// now held whole is a reader of the run.
void serve_reader(Owner& owner, PipeReader& reader) {
  const bool of_text = reader.text.data == owner.text.data;
  const bool of_run = reader.of_run;
  bool whole = false;
  if (!serve_pipe(reader, now_ms(), whole)) return;
  if (of_run && whole) {
    if (of_text) owner.read_at = now_ms();
    if (!owner.chance.reader_seen) {
      remember_reader(owner.display_memory, wall_seconds());
    }
    note_read(owner.chance, of_text);
  }
  count_readers(owner);
}

// A text as one of the owner's sources offers it: the text held, or one that
// a newer replaced, which a reader that asked for it before still gets.
struct Offered {
  Owner* owner;
  Bytes text;
};

void on_send(void* data, zwlr_data_control_source_v1* /*source*/, const char* type, int32_t fd) {
  auto& offered = *static_cast<Offered*>(data);
  Owner& owner = *offered.owner;
  Bytes handed;
  if (std::strcmp(type, kOwnerMark) == 0) {  // The next run's owner.
    assign(handed, nullptr, kHandedSize);
    handed.size = handed_texts(owner.guard, held_text_done(owner), handed.data, kHandedSize);
  }
  const Bytes& text = handed.data != nullptr ? handed : offered.text;
  PipeReader* reader = add_reader(owner.readers, fd, text, now_ms(), handed.data == nullptr);
  release(handed);
  if (reader != nullptr) {
    count_readers(owner);
    serve_reader(owner, *reader);
  }
}

void on_cancelled(void* data, zwlr_data_control_source_v1* source) {
  auto* offered = static_cast<Offered*>(data);
  Owner& owner = *offered->owner;
  if (source == owner.source) {
    owner.source = nullptr;
    owner.owns = false;  // Another client took the clipboard.
    note_taken_over(owner.chance);
  }
  release(offered->text);
  std::free(offered);
  zwlr_data_control_source_v1_destroy(source);
}

constexpr zwlr_data_control_source_v1_listener kSourceListener = {on_send, on_cancelled};

// The compositor has made the text the selection. Another client may have
// taken it since, such as a clipboard manager re-serving what it read: the
// text was on the clipboard all the same.
void on_confirmed(void* data, wl_callback* callback, uint32_t /*serial*/) {
  auto& owner = *static_cast<Owner*>(data);
  wl_callback_destroy(callback);
  owner.owns = owner.source != nullptr;
  --owner.unconfirmed;
  if (owner.owns) outlive_parent();
  reply(clipboard::link::kOk);
}

constexpr wl_callback_listener kConfirmListener = {on_confirmed};

// Makes the text held the selection, through a source of its own.
// The source before goes once the compositor cancels it.
void offer_text(Owner& owner) {
  zwlr_data_control_source_v1* source =
      zwlr_data_control_manager_v1_create_data_source(owner.compositor.manager);
  auto* offered = static_cast<Offered*>(std::malloc(sizeof(Offered)));
  if (offered == nullptr) std::exit(1);
  *offered = {.owner = &owner, .text = share(owner.text)};
  zwlr_data_control_source_v1_add_listener(source, &kSourceListener, offered);
  for (const char* type : kTypes) zwlr_data_control_source_v1_offer(source, type);
  zwlr_data_control_source_v1_offer(source, kOwnerMark);
  zwlr_data_control_device_v1_set_selection(owner.compositor.device, source);
  owner.source = source;
  owner.chance.owned = true;
}

// Offers `bytes` as the selection; the answer goes to nembit once the
// compositor has handled it.
void take_selection(Owner& owner, Bytes bytes) {
  release(owner.text);
  owner.text = bytes;
  owner.read_at = -1;
  offer_text(owner);
  note_new_text(owner.chance, now_ms());
  note_newest(owner.guard, bytes.data, bytes.size, owner.chance.set_at);
  ++owner.unconfirmed;
  wl_callback_add_listener(wl_display_sync(owner.compositor.display), &kConfirmListener, &owner);
}

// Reads what the other client offers as it comes; once it has all, and it
// is an older text put back (see older_text_guard.h), the newest goes on
// top again, and is held until another client takes the clipboard. Nothing
// is said to nembit about it.
void continue_check(Owner& owner) {
  OfferCheck& check = owner.check;
  bool whole = false;
  if (!read_offer(check, whole)) return;
  bool done = true;
  if (check.before_run && whole && check.got.size > 0 &&
      !(check.handed && remember_handed(owner.guard, check.got.data, check.got.size, done))) {
    remember_before_run(owner.guard, check.got.data, check.got.size);
  }
  // A manager may be busy with the text before: the one of another run's
  // owner, or one it re-served as that owner ended.
  if (check.before_run && (check.handed ? !done : owner.display_memory.reader_busy)) {
    owner.before_busy = true;
  }
  const bool back =
      !check.before_run && whole && owner.source == nullptr && owner.text.data != nullptr &&
      take_back(owner.guard, check.got.data, check.got.size, now_ms(), manager_likely(owner));
  end_check(check);
  if (back) {
    offer_text(owner);
    owner.owns = true;
  }
}

// Makes the waiting text the selection once the one held has had its
// chance, which the run's first has unless no reader is expected, or one
// expected is busy with the text before; how long it may wait still, or -1
// when none waits.
int take_pending(Owner& owner) {
  const bool first_chance =
      owner.display_memory.expected != ReaderExpectation::kNone && !owner.before_busy;
  const bool unasked = first_chance && first_text_unasked(owner.chance);
  Bytes text;
  int wait = -1;
  if (take_turn(owner.pending, owner.chance, first_chance, now_ms(), text, wait)) {
    if (unasked) owner.display_memory.first_unasked = true;
    take_selection(owner, text);
  }
  return wait;
}

// Each type that an offer of another client holds, which come after the
// offer and before the selection it makes.
void on_offer_type(void* data, zwlr_data_control_offer_v1* offer, const char* type) {
  auto& owner = *static_cast<Owner*>(data);
  if (offer == owner.incoming.offer && std::strcmp(type, kOwnerMark) == 0) {
    owner.incoming.owners = true;
  }
}

constexpr zwlr_data_control_offer_v1_listener kOfferListener = {on_offer_type};

void on_data_offer(void* data, zwlr_data_control_device_v1* /*device*/,
                   zwlr_data_control_offer_v1* offer) {
  auto& owner = *static_cast<Owner*>(data);
  owner.incoming = {.offer = offer, .owners = false};
  zwlr_data_control_offer_v1_add_listener(offer, &kOfferListener, &owner);
}

// The primary selection, which the owner never reads.
void drop_offer(void* /*data*/, zwlr_data_control_device_v1* /*device*/,
                zwlr_data_control_offer_v1* offer) {
  if (offer != nullptr) zwlr_data_control_offer_v1_destroy(offer);
}

// The clipboard as it now stands. What it held before the run's first text
// is read (from another run's owner, the texts it remembers), and so is what
// another client offers when it has taken the clipboard from the newest text
// soon after it came, to tell whether it put back an older text (see
// continue_check). An offer with the owners' mark that comes later is the
// next run's owner, whose texts may well be this run's again: that one ends
// the guard.
void on_selection(void* data, zwlr_data_control_device_v1* device,
                  zwlr_data_control_offer_v1* offer) {
  auto& owner = *static_cast<Owner*>(data);
  const bool owners = offer == owner.incoming.offer && owner.incoming.owners;
  if (owners && owner.source == nullptr) end_guard(owner.guard);  // Another run's now.
  const bool before_run = owner.text.data == nullptr;
  const bool read = owner.source == nullptr && owner.check.fd < 0 &&
                    (before_run || (!owners && guarding(owner, now_ms()) > 0));
  int fds[2] = {-1, -1};
  if (offer != nullptr && read && ::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
    zwlr_data_control_offer_v1_receive(offer, owners ? kOwnerMark : kTypes[0], fds[1]);
    ::close(fds[1]);
    owner.check = {.fd = fds[0],
                   .got = {},
                   .deadline = now_ms() + kCheckLimitMs,
                   .before_run = before_run,
                   .handed = owners};
  }
  drop_offer(data, device, offer);
}

void on_finished(void* data, zwlr_data_control_device_v1* /*device*/) {
  static_cast<Owner*>(data)->gone = true;
}

constexpr zwlr_data_control_device_v1_listener kDeviceListener = {on_data_offer, on_selection,
                                                                  on_finished, drop_offer};

// Ends the readers (and the check of another client's text) that have taken
// nothing in time; returns how long the next one may wait still, or -1 when
// none is under way.
int end_stalled_readers(Owner& owner) {
  const int64_t now = now_ms();
  const int64_t wait = end_stalled(owner.readers, now);
  count_readers(owner);
  if (owner.check.fd >= 0 && owner.check.deadline <= now) end_check(owner.check);
  const int64_t check_wait = owner.check.fd >= 0 ? owner.check.deadline - now : -1;
  return soonest({static_cast<int>(wait), static_cast<int>(check_wait)});
}

// Whether the next run may reach the owner, now that its run has gone: it
// holds the clipboard, owes nembit no answer, and expects no reader, whose
// late reads and re-serves an owner of the next run's own tells better.
bool next_run_welcome(const Owner& owner) {
  return owner.owns && !owner.pending.waiting && owner.unconfirmed == 0 &&
         !owner.chance.reader_seen && owner.display_memory.expected != ReaderExpectation::kManager;
}

// Serves the clipboard and the texts that come until the owner's part is
// done; the exit status.
int serve(Owner& owner, Inbox& inbox) {
  wl_display* const display = owner.compositor.display;
  reply(clipboard::link::kReady);
  // The display, nembit, the text another client offers, and the readers.
  pollfd waits[3 + kMaxReaders];
  for (;;) {
    const int held = take_pending(owner);
    while (wl_display_prepare_read(display) != 0) {
      if (wl_display_dispatch_pending(display) < 0) return 1;
    }
    wl_display_flush(display);
    // Once nembit has gone, the owner lasts as long as it holds the
    // clipboard, or has to do with it still: a manager may put an older text
    // back while the newest is guarded.
    const int guard = static_cast<int>(guarding(owner, now_ms()));
    const bool busy = owner.owns || any_reader(owner.readers) || owner.pending.waiting ||
                      owner.check.fd >= 0 || guard > 0;
    if (owner.gone || (inbox.closed && !busy)) {
      wl_display_cancel_read(display);
      return owner.gone ? 1 : 0;
    }
    await_next_run(inbox, next_run_welcome(owner));
    const int limit = end_stalled_readers(owner);
    waits[0] = {wl_display_get_fd(display), POLLIN, 0};
    waits[1] = {link_fd(inbox), POLLIN, 0};
    waits[2] = {owner.check.fd, POLLIN, 0};
    for (size_t i = 0; i < kMaxReaders; ++i) waits[3 + i] = {owner.readers.each[i].fd, POLLOUT, 0};
    const int ready =
        ::poll(waits, 3 + kMaxReaders, soonest({held, limit, guard > 0 ? guard : -1}));
    if (ready < 0 && errno != EINTR) {
      wl_display_cancel_read(display);
      return 1;
    }
    if (ready > 0 && waits[0].revents != 0) {
      if (wl_display_read_events(display) < 0) return 1;
    } else {
      wl_display_cancel_read(display);
    }
    if (wl_display_dispatch_pending(display) < 0) return 1;
    if (owner.check.fd >= 0 && waits[2].revents != 0) continue_check(owner);
    for (size_t i = 0; i < kMaxReaders; ++i) {
      if (owner.readers.each[i].fd >= 0 && waits[3 + i].revents != 0) {
        serve_reader(owner, owner.readers.each[i]);
      }
    }
    if (ready > 0 && waits[1].revents != 0) {
      if (receive(inbox)) {  // A new run, which begins as with an owner of its own.
        end_run_for_next(owner.display_memory, owner.chance.reader_seen, owner.guard,
                         held_text_done(owner), wall_seconds());
        owner.chance = {};
        owner.before_busy = false;
      }
      if (inbox.closed) {
        keep_texts(owner.display_memory, owner.guard, held_text_done(owner));
      }
      Bytes text;
      // The run's first text is the selection at once, whatever comes with it.
      while (next_text(inbox, text)) {
        queue_text(owner.pending, text);
        text = {};
        if (owner.chance.set_at < 0) take_pending(owner);
      }
    }
  }
}

// Frees all that the owner holds, and leaves the compositor.
void shut_down(Owner& owner) {
  for (PipeReader& reader : owner.readers.each) {
    if (reader.fd >= 0) end_reader(reader);
  }
  release(owner.text);
  release(owner.pending.text);
  if (owner.check.fd >= 0) end_check(owner.check);
  if (owner.source != nullptr) zwlr_data_control_source_v1_destroy(owner.source);
  disconnect(owner.compositor);
}

}  // namespace

int run(Inbox& inbox) {
  Owner owner;
  const char* display = std::getenv("WAYLAND_DISPLAY");
  recall(owner.display_memory, "wayland", display, owner.guard, wall_seconds());
  name_next_run(inbox, display);
  const int status = connect(owner.compositor, kDeviceListener, &owner) ? serve(owner, inbox) : 1;
  end_run(owner.display_memory, owner.chance.reader_seen, owner.guard, held_text_done(owner),
          wall_seconds());
  shut_down(owner);
  return status;
}

}  // namespace nembit::owner
