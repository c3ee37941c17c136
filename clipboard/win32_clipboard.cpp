// The Win32 clipboard, which holds text as UTF-16 (CF_UNICODETEXT).
#include <windows.h>

#include <string>

#include "clipboard/clipboard.h"

namespace nembit::clipboard {

namespace {

std::string last_error(const char* what) {
  return std::string("Win32 clipboard: ") + what + " failed with error " +
         std::to_string(GetLastError());
}

class Win32Clipboard : public Clipboard {
 public:
  void copy(std::string_view text) override {
    const int size = static_cast<int>(text.size());
    const int units = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    if (size > 0 && units == 0) throw Error(last_error("MultiByteToWideChar"));
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (static_cast<SIZE_T>(units) + 1) * sizeof(wchar_t));
    if (memory == nullptr) throw Error(last_error("GlobalAlloc"));
    auto* wide = static_cast<wchar_t*>(GlobalLock(memory));
    MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide, units);
    wide[units] = L'\0';
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

std::unique_ptr<Clipboard> open_system_clipboard() { return std::make_unique<Win32Clipboard>(); }

}  // namespace nembit::clipboard
