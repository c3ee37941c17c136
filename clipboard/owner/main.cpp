// The entry of both clipboard owners: the process set up as nembit expects
// it, then the owner's own part (run(), see nembit_link.h).
#include <unistd.h>

#include <csignal>
#include <cstdlib>

#include "clipboard/owner/nembit_link.h"

int main(int argc, char** argv) {
  // No folder kept busy, and no end by the hang-up of a terminal or by
  // writing to a nembit that has gone.
  std::signal(SIGHUP, SIG_IGN);
  std::signal(SIGPIPE, SIG_IGN);
  if (::chdir("/") != 0) return 1;
  // Until it holds the clipboard, the owner ends with nembit, however
  // nembit ends, even while the display keeps it waiting.
  if (argc > 1 && !nembit::owner::end_with_parent(std::strtol(argv[1], nullptr, 10))) return 1;
  nembit::owner::Inbox inbox;
  inbox.program = argv[0];
  const int status = nembit::owner::run(inbox);
  nembit::owner::stop_awaiting(inbox);
  std::free(inbox.buffer);
  return status;
}
