// Windows has a clipboard of its own (clipboard_win32.cpp) and no owner
// process: one can never be started there.
#include "clipboard/owner_process.h"
#include "common/path.h"
#include "nembit/clipboard.h"

namespace nembit::clipboard {

OwnerProcess::OwnerProcess(const std::string& path) {
  throw Error(std::string(own_name(path)) + ": no clipboard owner runs on Windows");
}

OwnerProcess::~OwnerProcess() = default;

OwnerProcess::Io OwnerProcess::send(std::string_view /*bytes*/, Clock::time_point /*deadline*/) {
  return Io::kGone;
}

OwnerProcess::Io OwnerProcess::read_line(std::string& /*line*/, Clock::time_point /*deadline*/) {
  return Io::kGone;
}

void OwnerProcess::kill() {}

}  // namespace nembit::clipboard
