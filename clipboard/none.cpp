// The clipboard component of a build without it: there is none.
#include "nembit/clipboard.h"

namespace nembit::clipboard {

std::unique_ptr<Clipboard> open_system_clipboard() { return nullptr; }

}  // namespace nembit::clipboard
