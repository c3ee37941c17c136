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

std::string find_program_dir(const char* /*argv0*/) {
  // The program's own files stand beside the executable.
  const std::string executable = executable_path();
  return executable.empty() ? "." : std::string(parent_of(executable));
}

}  // namespace nembit
