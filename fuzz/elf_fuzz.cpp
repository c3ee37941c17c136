// Reads arbitrary bytes as the desktop module's file: the check of a whole
// ELF object must come to an answer for anything, and take a real module.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

#include "notify/desktop_module_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const int fd = ::memfd_create("module", MFD_CLOEXEC);
  if (fd < 0 || ::write(fd, data, size) != static_cast<ssize_t>(size)) return 0;
  nembit::notify::module_file_fault(fd);
  ::close(fd);
  return 0;
}
