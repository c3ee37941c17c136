// The Win32 clipboard, which holds text as UTF-16 (CF_UNICODETEXT).
#include <windows.h>

#include <cstring>
#include <string>

#include "clipboard/desktop_clipboard.h"
#include "common/utf16_win32.h"

namespace nembit::clipboard {

namespace {

std::string last_error(const char* what) {
  return std::string("Win32 clipboard: ") + what + " failed with error " +
         std::to_string(GetLastError());
}

class Win32Clipboard : public Clipboard {
 public:
  void copy(std::string_view text) override {
    const std::wstring wide = to_utf16(text);
    const SIZE_T size = (wide.size() + 1) * sizeof(wchar_t);  // With the closing NUL.
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
    if (memory == nullptr) throw Error(last_error("GlobalAlloc"));
    std::memcpy(GlobalLock(memory), wide.c_str(), size);
    GlobalUnlock(memory);
    // Another program may hold the clipboard for a moment: try for a second.
    bool opened = false;
    for (int attempt = 0; attempt < 100 && !(opened = OpenClipboard(nullptr) != 0); ++attempt) {
      Sleep(10);
    }
    if (!opened) {
      GlobalFree(memory);
      throw Error(last_error("OpenClipboard"));
    }
    EmptyClipboard();
    if (SetClipboardData(CF_UNICODETEXT, memory) == nullptr) {
      const std::string error = last_error("SetClipboardData");
      GlobalFree(memory);
      CloseClipboard();
      throw Error(error);
    }
    CloseClipboard();  // The clipboard owns `memory` now.
  }
};

}  // namespace

DesktopClipboard open_desktop_clipboard() {
  return {.clipboard = std::make_unique<Win32Clipboard>()};
}

}  // namespace nembit::clipboard
