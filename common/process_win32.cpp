// Windows starts no program beside nembit: it has its own clipboard
// (clipboard/clipboard_win32.cpp), and neither clipboard tools nor owners.
#include <windows.h>

#include <cerrno>

#include "common/process.h"
#include "common/utf16_win32.h"

namespace nembit {

int start_program(const std::vector<std::string>& /*argv*/, StandardStreams /*streams*/,
                  Apart /*apart*/, int& error) {
  error = ENOSYS;
  return -1;
}

bool is_executable_file(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(to_utf16(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool has_ended(int /*pid*/, int& status) {
  status = 0;
  return true;
}

void kill_group(int /*pid*/) {}

void reap_when_ended(int /*pid*/) {}

}  // namespace nembit
