#include <windows.h>

#include <array>

#include "common/path.h"
#include "common/system_error.h"
#include "common/system_error_win32.h"
#include "common/utf16_win32.h"
#include "nembit/disk_interface.h"

namespace nembit {

namespace {

// The full path that Windows makes of `wide`; empty when it cannot.
std::wstring full_wide_path(const std::wstring& wide) {
  const DWORD size = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  std::wstring full(size, L'\0');
  full.resize(::GetFullPathNameW(wide.c_str(), size, full.data(), nullptr));
  return full;
}

// `path` for a Win32 call: UTF-16, and in the \\?\ form when its full path is
// too long for the classic calls, which allow MAX_PATH less 12 characters
// for a directory, the room of an 8.3 name (Windows then resolves it to the
// full path, as it would any path).
std::wstring wide_path(const std::string& path) {
  std::wstring wide = to_utf16(path);
  if (wide.starts_with(L"\\\\?\\")) return wide;
  std::wstring full = full_wide_path(wide);
  if (full.empty() || full.size() < MAX_PATH - 12) return wide;
  if (full.starts_with(L"\\\\?\\")) return full;
  if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

int last_error() { return windows_error_number(::GetLastError()); }

// Opens `path` with `access` and `disposition`, sharing it with everyone, and
// closes it again after `use` (when given) has run on it.
template <typename Use>
int with_file(const std::string& path, DWORD access, DWORD disposition, DWORD flags, Use use) {
  const HANDLE file = ::CreateFileW(wide_path(path).c_str(), access,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    disposition, flags, nullptr);
  if (file == INVALID_HANDLE_VALUE) return last_error();
  const int error = use(file);
  ::CloseHandle(file);
  return error;
}

int nothing(HANDLE /*file*/) { return 0; }

}  // namespace

int RealDiskInterface::make_dir(const std::string& path) {
  return ::CreateDirectoryW(wide_path(path).c_str(), nullptr) ? 0 : last_error();
}

bool RealDiskInterface::is_dir(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(wide_path(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

int RealDiskInterface::create_new_file(const std::string& path) {
  return with_file(path, GENERIC_WRITE, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nothing);
}

int RealDiskInterface::touch(const std::string& path) {
  // Directories open only with backup semantics.
  return with_file(path, FILE_WRITE_ATTRIBUTES, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                   [](HANDLE file) {
                     FILETIME now;
                     ::GetSystemTimeAsFileTime(&now);
                     return ::SetFileTime(file, nullptr, &now, &now) ? 0 : last_error();
                   });
}

int RealDiskInterface::create_file(const std::string& path) {
  return with_file(path, GENERIC_WRITE, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nothing);
}

int RealDiskInterface::working_dir(std::string& path) {
  const DWORD size = ::GetCurrentDirectoryW(0, nullptr);
  std::wstring wide(size, L'\0');
  const DWORD length = ::GetCurrentDirectoryW(size, wide.data());
  if (length == 0) return last_error();
  wide.resize(length);
  path = to_utf8(wide);
  return 0;
}

int RealDiskInterface::full_path(const std::string& path, std::string& full) {
  const std::wstring wide = full_wide_path(to_utf16(path));
  if (wide.empty()) return last_error();
  full = to_utf8(wide);
  return 0;
}

int RealDiskInterface::kind_of(const std::string& path, Kind& kind) {
  const DWORD attributes = ::GetFileAttributesW(wide_path(path).c_str());
  kind = Kind::kNone;
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD code = ::GetLastError();
    const bool absent = code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ||
                        code == ERROR_INVALID_NAME || code == ERROR_DIRECTORY ||
                        code == ERROR_BAD_NETPATH || code == ERROR_CANT_RESOLVE_FILENAME;
    return absent ? 0 : windows_error_number(code);
  }
  kind = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? Kind::kOther : Kind::kRegular;
  return 0;
}

int RealDiskInterface::read_file(const std::string& path,
                                 const std::function<bool(std::string_view)>& take,
                                 std::string& call) {
  call = "open";
  return with_file(path, GENERIC_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, [&](HANDLE file) {
    call = "read";
    std::array<char, size_t{64} * 1024> buffer;  // Not cleared: ReadFile fills what is used.
    for (;;) {
      DWORD got = 0;
      if (!::ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
        return last_error();
      }
      if (got == 0 || take({buffer.data(), got})) return 0;
    }
  });
}

std::string RealDiskInterface::refusal(std::string_view name) { return windows_refusal(name); }

}  // namespace nembit
