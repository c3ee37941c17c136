#include "clipboard/owner/read_chance.h"

#include <algorithm>

#include "clipboard/owner/link_words.h"

namespace nembit::owner {

void note_new_text(ReadChance& chance, int64_t now) {
  chance.first = chance.set_at < 0;
  chance.set_at = now;
  chance.owned = true;
  chance.read = false;
  chance.readers = 0;
}

void note_taken_over(ReadChance& chance) { chance.owned = false; }

void note_read(ReadChance& chance, bool held) {
  chance.reader_seen = true;
  chance.read = chance.read || held;
}

int64_t hold_left(const ReadChance& chance, int64_t now, bool first_text_chance) {
  // A text that another client has replaced already is nobody's to read.
  if (chance.set_at < 0 || !chance.owned) return 0;
  int64_t until = 0;
  if (chance.readers > 0) until = chance.set_at + kReaderHoldMs;
  if (!chance.read && (chance.reader_seen || (chance.first && first_text_chance))) {
    until = std::max(until, chance.set_at + kAskMs);
  }
  return until > now ? until - now : 0;
}

bool first_text_unasked(const ReadChance& chance) {
  return chance.first && chance.set_at >= 0 && chance.owned && !chance.reader_seen &&
         chance.readers == 0;
}

bool reader_done(int64_t read_at, int64_t now) {
  return read_at >= 0 && now - read_at >= kReaderBusyMs;
}

void queue_text(WaitingText& waiting, Bytes text) {
  if (waiting.waiting) {
    release(waiting.text);
    reply(clipboard::link::kOk);
  }
  waiting = {.text = text, .waiting = true};
}

bool take_turn(WaitingText& waiting, const ReadChance& chance, bool first_text_chance, int64_t now,
               Bytes& text, int& wait) {
  wait = -1;
  if (!waiting.waiting) return false;
  if (const int64_t left = hold_left(chance, now, first_text_chance); left > 0) {
    wait = static_cast<int>(left);
    return false;
  }
  text = waiting.text;
  waiting = {};
  return true;
}

}  // namespace nembit::owner
