#include <windows.h>

#include "common/executable.h"
#include "common/path.h"
#include "common/utf16_win32.h"

namespace nembit {

std::string executable_path(const char* /*argv0*/) {
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

}  // namespace nembit
