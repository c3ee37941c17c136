// The clipboard component of a build without it: there is none.
#include "clipboard/desktop_clipboard.h"

namespace nembit::clipboard {

std::unique_ptr<Clipboard> open_desktop_clipboard() { return nullptr; }

}  // namespace nembit::clipboard
