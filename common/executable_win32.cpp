#include <windows.h>

#include "common/executable.h"
#include "common/path.h"
#include "common/utf16_win32.h"

namespace nembit {

void note_program_name(const char* /*argv0*/) {}

std::string executable_path() {
  std::wstring buffer(MAX_PATH, L'\0');
  DWORD length = 0;
  while ((length = ::GetModuleFileNameW(nullptr, buffer.data(),
                                        static_cast<DWORD>(buffer.size()))) == buffer.size()) {
    buffer.resize(buffer.size() * 2);
  }
  if (length == 0) return {};
  buffer.resize(length);
  return normal_form(to_utf8(buffer));
}

bool path_exists(const std::string& path) {
  return ::GetFileAttributesW(to_utf16(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace nembit
