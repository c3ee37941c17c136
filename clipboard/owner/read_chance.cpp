#include "clipboard/owner/read_chance.h"

namespace nembit::owner {

void text_set(ReadChance& chance, int64_t now) {
  chance.first = chance.set_at < 0;
  chance.set_at = now;
  chance.owned = true;
  chance.readers = 0;
}

void text_read(ReadChance& chance) { chance.manager = true; }

int64_t hold_left(const ReadChance& chance, int64_t now, bool first_text_chance) {
  // A text that another client has replaced already is nobody's to read.
  if (chance.set_at < 0 || !chance.owned) return 0;
  int64_t until = 0;
  if (chance.readers > 0) until = chance.set_at + kReaderHoldMs;
  const bool wanted = chance.manager || (chance.first && first_text_chance);
  if (wanted && chance.set_at + kReadChanceMs > until) {
    until = chance.set_at + kReadChanceMs;
  }
  return until > now ? until - now : 0;
}

}  // namespace nembit::owner
