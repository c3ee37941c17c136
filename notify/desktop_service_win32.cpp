// Windows' own notification service is its notification area, which nembit
// reaches through its helper nembit-notice.exe (notify/tray/): the helper
// holds the icon, and so the balloon, after nembit has ended. This is the
// helper's client, behind the module's interface, in the library: open()
// finds the helper, the first notice starts it on a pipe that this process
// serves, and each notice is written to that pipe without waiting, the
// helper showing the newest.
#include <windows.h>

#include <new>
#include <string>

#include "common/executable.h"
#include "common/utf16_win32.h"
#include "notify/desktop/module_error.h"
#include "notify/desktop_service.h"

// The connection of the module's interface: here, to the helper.
struct NembitDesktop {
  std::wstring helper;
  HANDLE pipe = nullptr;  // The pipe to the helper, which never blocks.
};

namespace nembit::notify {

namespace {

constexpr const char* kHelperName = "nembit-notice.exe";
// What the pipe holds before the helper has read it: many notices.
constexpr DWORD kPipeSize = 65536;

// A name for the pipe of a helper that no other pipe has.
std::wstring pipe_name() {
  static LONG count = 0;
  return L"\\\\.\\pipe\\nembit-notice-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
         std::to_wstring(::InterlockedIncrement(&count));
}

// Starts the helper, which opens the pipe `name` that this process serves:
// the helper inherits no handle, and holds nothing of this process's.
bool start_helper(const NembitDesktop& desktop, const std::wstring& name) {
  std::wstring command = L"\"" + desktop.helper + L"\" " + name;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(desktop.helper.c_str(), command.data(), nullptr, nullptr, FALSE,
                        DETACHED_PROCESS | CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, &startup,
                        &process)) {
    return false;
  }
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);  // It goes on alone, and ends by itself.
  return true;
}

// Serves a pipe, starts the helper on it and waits, as long as `wait`
// allows, until the helper has opened it; the status of the call.
int connect_helper(NembitDesktop& desktop, NembitDesktopWait wait, void* context) {
  const std::wstring name = pipe_name();
  const HANDLE pipe =
      ::CreateNamedPipeW(name.c_str(), PIPE_ACCESS_OUTBOUND | FILE_FLAG_FIRST_PIPE_INSTANCE,
                         PIPE_TYPE_BYTE | PIPE_NOWAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, kPipeSize,
                         kPipeSize, 0, nullptr);
  if (pipe == INVALID_HANDLE_VALUE) return NEMBIT_DESKTOP_FAILED;
  if (!start_helper(desktop, name)) {
    ::CloseHandle(pipe);
    return NEMBIT_DESKTOP_FAILED;
  }
  for (;;) {
    if (!::ConnectNamedPipe(pipe, nullptr) && ::GetLastError() == ERROR_PIPE_CONNECTED) break;
    const long milliseconds = wait(context);
    if (milliseconds <= 0) {
      ::CloseHandle(pipe);
      return milliseconds < 0 ? NEMBIT_DESKTOP_STOPPED : NEMBIT_DESKTOP_TIMED_OUT;
    }
    ::Sleep(static_cast<DWORD>(milliseconds < 10 ? milliseconds : 10));
  }
  desktop.pipe = pipe;
  return NEMBIT_DESKTOP_OK;
}

// How a write to the helper's pipe, which never waits, went.
enum class Written { kAll, kNoRoom, kHelperGone };

Written write_all(HANDLE pipe, const std::string& bytes) {
  DWORD written = 0;
  if (::WriteFile(pipe, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
    return written == bytes.size() ? Written::kAll : Written::kNoRoom;
  }
  return Written::kHelperGone;
}

NembitDesktop* open_area(NembitDesktopWait /*wait*/, void* /*context*/, int* body_markup,
                         int* status, char* error, size_t error_size) {
  const std::string helper = helper_path(kHelperName);
  const DWORD attributes = ::GetFileAttributesW(to_utf16(helper).c_str());
  if (helper.empty() || attributes == INVALID_FILE_ATTRIBUTES ||
      (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    set_module_error(error, error_size,
                     ("cannot find " + (helper.empty() ? kHelperName : helper)).c_str());
    *status = NEMBIT_DESKTOP_FAILED;
    return nullptr;
  }
  *body_markup = 0;
  auto* desktop = new (std::nothrow) NembitDesktop{to_utf16(helper), nullptr};
  *status = desktop != nullptr ? NEMBIT_DESKTOP_OK : NEMBIT_DESKTOP_FAILED;
  return desktop;
}

int notify_area(NembitDesktop* desktop, const NembitDesktopNote* note, unsigned int* id,
                NembitDesktopWait wait, void* context, char* error, size_t error_size) {
  std::string notice = std::string(note->summary) + "\n" + note->body;
  notice.insert(0, std::to_string(notice.size()) + "\n");
  // A helper that has ended (its time was up) gives way to a new one.
  int status = NEMBIT_DESKTOP_FAILED;
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (desktop->pipe == nullptr) status = connect_helper(*desktop, wait, context);
    if (desktop->pipe == nullptr) break;
    const Written written = write_all(desktop->pipe, notice);
    if (written == Written::kAll) {
      *id = 1;
      return NEMBIT_DESKTOP_OK;
    }
    status = NEMBIT_DESKTOP_FAILED;
    if (written == Written::kNoRoom) break;
    ::CloseHandle(desktop->pipe);
    desktop->pipe = nullptr;
  }
  if (status == NEMBIT_DESKTOP_FAILED) {
    const std::string why = "[WinError " + std::to_string(::GetLastError()) + "]";
    set_module_error(error, error_size,
                     ("cannot hand the notice to " + to_utf8(desktop->helper)).c_str(),
                     why.c_str());
  }
  return status;
}

void close_area(NembitDesktop* desktop) {
  if (desktop == nullptr) return;
  if (desktop->pipe != nullptr) ::CloseHandle(desktop->pipe);  // The helper sees the end.
  delete desktop;
}

constexpr NembitDesktopApi kApi = {NEMBIT_DESKTOP_ABI, open_area, notify_area, close_area};

}  // namespace

const NembitDesktopApi* desktop_service(std::string& /*error*/) { return &kApi; }

}  // namespace nembit::notify
