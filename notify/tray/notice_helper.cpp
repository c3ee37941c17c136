// nembit-notice.exe: shows nembit's notices in the Windows notification area
// (a balloon, which Windows 10 and 11 show as a toast). An icon there, and
// its balloon, belong to a window, and go with it: this helper holds them,
// so that the run's notice stays after nembit.exe has ended. nembit starts
// it on a run's first notice with the name of a pipe that nembit serves as
// its argument; on that pipe each notice comes as a line with its length in
// decimal, then its bytes: the title, a line break, the text (UTF-8). Each
// notice takes the place of the one before it, the newest first. Once nembit
// has closed the pipe, the helper removes its icon and ends when the balloon
// is gone (timed out, clicked or closed), and in any case kLimitMs after the
// last notice.
#include <windows.h>
// After windows.h:
#include <shellapi.h>

#include <cstdlib>
#include <iterator>
#include <string>

#include "common/utf16_win32.h"

namespace {

using nembit::to_utf16;

constexpr UINT kTrayMessage = WM_APP + 1;    // What the notification area tells.
constexpr UINT kNoticeMessage = WM_APP + 2;  // A notice came: lParam holds it.
constexpr UINT kInputEnded = WM_APP + 3;     // nembit has closed the pipe.
constexpr UINT_PTR kLimitTimer = 1;
constexpr UINT kLimitMs = 10000;
constexpr UINT kIconId = 1;

struct Helper {
  HWND window = nullptr;
  bool shown = false;
  bool input_ended = false;
};

Helper helper;

// Copies `text` into `field` of `count` characters, cut to fit.
void put(wchar_t* field, size_t count, const std::wstring& text) {
  const size_t size = text.size() < count - 1 ? text.size() : count - 1;
  text.copy(field, size);
  field[size] = L'\0';
}

// Shows `notice` (its title, a line break, its text) in the balloon of the
// helper's icon, which the first notice puts in the notification area.
void show(const std::string& notice) {
  const size_t end = notice.find('\n');
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof data;
  data.hWnd = helper.window;
  data.uID = kIconId;
  data.uFlags = NIF_ICON | NIF_TIP | NIF_INFO | NIF_MESSAGE;
  data.uCallbackMessage = kTrayMessage;
  data.hIcon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
  data.hBalloonIcon = data.hIcon;
  data.dwInfoFlags = NIIF_USER | NIIF_NOSOUND;
  const std::wstring title = to_utf16(notice.substr(0, end));
  put(data.szTip, std::size(data.szTip), title);
  put(data.szInfoTitle, std::size(data.szInfoTitle), title);
  put(data.szInfo, std::size(data.szInfo),
      to_utf16(end == std::string::npos ? std::string() : notice.substr(end + 1)));
  if (!helper.shown) {
    helper.shown = ::Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
    data.uVersion = NOTIFYICON_VERSION_4;
    ::Shell_NotifyIconW(NIM_SETVERSION, &data);
  } else {
    ::Shell_NotifyIconW(NIM_MODIFY, &data);
  }
  ::SetTimer(helper.window, kLimitTimer, kLimitMs, nullptr);
}

void finish() {
  if (helper.shown) {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = helper.window;
    data.uID = kIconId;
    ::Shell_NotifyIconW(NIM_DELETE, &data);
  }
  ::PostQuitMessage(0);
}

// Takes the notice that came, or the newest of those that wait to be shown.
void take_notices(LPARAM first) {
  auto* notice = reinterpret_cast<std::string*>(first);
  MSG newer;
  while (::PeekMessageW(&newer, helper.window, kNoticeMessage, kNoticeMessage, PM_REMOVE)) {
    delete notice;
    notice = reinterpret_cast<std::string*>(newer.lParam);
  }
  show(*notice);
  delete notice;
}

LRESULT CALLBACK on_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case kNoticeMessage:
      take_notices(lparam);
      return 0;
    case kInputEnded:
      helper.input_ended = true;
      if (!helper.shown) finish();
      return 0;
    case kTrayMessage: {
      const UINT event = LOWORD(lparam);
      const bool gone =
          event == NIN_BALLOONTIMEOUT || event == NIN_BALLOONUSERCLICK || event == NIN_BALLOONHIDE;
      if (gone && helper.input_ended) finish();
      return 0;
    }
    case WM_TIMER:
      if (wparam == kLimitTimer) finish();
      return 0;
    default:
      return ::DefWindowProcW(window, message, wparam, lparam);
  }
}

// Reads the notices from the pipe `input` and hands each to the window.
DWORD WINAPI read_notices(void* pipe) {
  const HANDLE input = pipe;
  std::string received;
  char buffer[4096];
  DWORD got = 0;
  while (::ReadFile(input, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    received.append(buffer, got);
    for (size_t header = received.find('\n'); header != std::string::npos;
         header = received.find('\n')) {
      const size_t size = std::strtoul(received.c_str(), nullptr, 10);
      if (received.size() - header - 1 < size) break;
      ::PostMessageW(helper.window, kNoticeMessage, 0,
                     reinterpret_cast<LPARAM>(new std::string(received, header + 1, size)));
      received.erase(0, header + 1 + size);
    }
  }
  ::CloseHandle(input);
  ::PostMessageW(helper.window, kInputEnded, 0, 0);
  return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*command_line*/,
                   int /*show*/) {
  int count = 0;
  LPWSTR* arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (arguments == nullptr || count < 2) return 2;
  const HANDLE pipe =
      ::CreateFileW(arguments[1], GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ::LocalFree(arguments);
  if (pipe == INVALID_HANDLE_VALUE) return 1;
  WNDCLASSW window_class{};
  window_class.lpfnWndProc = on_message;
  window_class.hInstance = instance;
  window_class.lpszClassName = L"nembit-notice";
  ::RegisterClassW(&window_class);
  // A window that only takes messages, as the icon's owner.
  helper.window = ::CreateWindowW(window_class.lpszClassName, L"nembit", 0, 0, 0, 0, 0,
                                  HWND_MESSAGE, nullptr, instance, nullptr);
  if (helper.window == nullptr) return 1;
  ::SetTimer(helper.window, kLimitTimer, kLimitMs, nullptr);
  ::CloseHandle(::CreateThread(nullptr, 0, read_notices, pipe, 0, nullptr));
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) ::DispatchMessageW(&message);
  return 0;
}
