#include <windows.h>

#include <string>

#include "common/system_error_win32.h"
#include "common/utf16_win32.h"
#include "output_channel.h"

namespace nembit {

namespace {

// What one write to a pipe should hold at most: as POSIX's PIPE_BUF on Linux,
// so that readers of the two see the same writes.
constexpr size_t kPipePiece = 4096;

HANDLE handle_of(int stream) {
  return ::GetStdHandle(stream == 2 ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
}

bool is_console(HANDLE handle) {
  DWORD mode = 0;
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode);
}

}  // namespace

OutputChannel open_output(int stream, bool /*open_apart*/) {
  const HANDLE handle = handle_of(stream);
  OutputChannel channel;
  channel.stream = stream;
  if (is_console(handle)) {
    channel.kind = OutputKind::kTerminal;
  } else if (::GetFileType(handle) == FILE_TYPE_PIPE) {
    channel.kind = OutputKind::kPipe;
    channel.piece = kPipePiece;
  }
  return channel;
}

void close_output(OutputChannel& /*channel*/) {}

int write_output(const OutputChannel& channel, std::string_view bytes,
                 std::chrono::milliseconds /*patience*/, size_t& written) {
  written = 0;
  const HANDLE handle = handle_of(channel.stream);
  if (channel.kind == OutputKind::kTerminal) {
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

}  // namespace nembit
