// The clipboard component of a build without it: there is none.
#include "clipboard/desktop_clipboard.h"

namespace nembit::clipboard {

DesktopClipboard open_desktop_clipboard() { return {}; }

}  // namespace nembit::clipboard
