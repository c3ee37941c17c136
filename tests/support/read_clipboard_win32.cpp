// Test support for Windows: prints the text on the Win32 clipboard
// (CF_UNICODETEXT) as UTF-8. Exits with 1 when there is none.
#include <windows.h>

#include <cstdio>
#include <string>

int main() {
  if (OpenClipboard(nullptr) == 0) return 1;
  HANDLE data = GetClipboardData(CF_UNICODETEXT);
  const auto* text = data != nullptr ? static_cast<const wchar_t*>(GlobalLock(data)) : nullptr;
  if (text == nullptr) {
    CloseClipboard();
    return 1;
  }
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), size, nullptr, nullptr);
  GlobalUnlock(data);
  CloseClipboard();
  std::fwrite(utf8.data(), 1, utf8.size() - 1, stdout);
  return 0;
}
