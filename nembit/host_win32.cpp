#include <windows.h>
// After windows.h:
#include <shellapi.h>

#include <cstdint>
#include <memory>

#include "common/executable.h"
#include "common/path.h"
#include "common/system_error.h"
#include "common/system_error_win32.h"
#include "common/utf16_win32.h"
#include "host.h"

namespace nembit {

std::vector<std::string> process_arguments(int /*argc*/, char** /*argv*/) {
  int count = 0;
  const std::unique_ptr<LPWSTR, decltype(&::LocalFree)> wide(
      ::CommandLineToArgvW(::GetCommandLineW(), &count), &::LocalFree);
  std::vector<std::string> arguments;
  for (int i = 0; wide && i < count; ++i) arguments.push_back(to_utf8(wide.get()[i]));
  return arguments;
}

namespace {

DWORD handle_id(int stream) { return stream == 2 ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE; }

bool is_console(HANDLE handle) {
  DWORD mode = 0;
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode);
}

}  // namespace

bool occupy_closed_standard_streams() {
  bool stdout_closed = false;
  for (const DWORD id : {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) {
    const HANDLE handle = ::GetStdHandle(id);
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE) continue;
    if (id == STD_OUTPUT_HANDLE) stdout_closed = true;
    const HANDLE null =
        ::CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ::SetStdHandle(id, null);
  }
  return stdout_closed;
}

void restore_child_signal() {}

bool is_terminal(int stream) { return is_console(::GetStdHandle(handle_id(stream))); }

size_t whole_write_size(int stream) {
  return ::GetFileType(::GetStdHandle(handle_id(stream))) == FILE_TYPE_PIPE ? 4096 : SIZE_MAX;
}

int write_standard(int stream, std::string_view bytes, std::chrono::milliseconds /*patience*/,
                   size_t& written) {
  written = 0;
  const HANDLE handle = ::GetStdHandle(handle_id(stream));
  if (is_console(handle)) {
    // A console shows UTF-16; every line reaches it whole, so no character
    // is split between two writes.
    std::wstring text = to_utf16(bytes);
    DWORD put = 0;
    for (size_t at = 0; at < text.size(); at += put) {
      if (!::WriteConsoleW(handle, text.data() + at, static_cast<DWORD>(text.size() - at), &put,
                           nullptr)) {
        return windows_error_number(::GetLastError());
      }
    }
    written = bytes.size();
    return 0;
  }
  while (written < bytes.size()) {
    DWORD put = 0;
    if (!::WriteFile(handle, bytes.data() + written, static_cast<DWORD>(bytes.size() - written),
                     &put, nullptr)) {
      return windows_error_number(::GetLastError());
    }
    written += put;
  }
  return 0;
}

std::string find_program_dir(const char* /*argv0*/) {
  // The program's own files stand beside the executable.
  const std::string executable = executable_path();
  return executable.empty() ? "." : std::string(parent_of(executable));
}

}  // namespace nembit
