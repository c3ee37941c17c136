#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <string_view>

#include "notify/desktop_module_file.h"

namespace nembit::notify {

namespace {

using ElfHeader = ElfW(Ehdr);
using ProgramHeader = ElfW(Phdr);

// Reads `size` bytes at `offset` of `fd`, all or nothing.
bool read_at(int fd, void* into, size_t size, off_t offset) {
  return ::pread(fd, into, size, offset) == static_cast<ssize_t>(size);
}

// The ELF header of the C library as this process has it mapped, which
// tells the process's kind; null where the system does not say.
const ElfHeader* own_header() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&::close), &info) == 0) return nullptr;
  return static_cast<const ElfHeader*>(info.dli_fbase);
}

bool is_whole(int fd, const ElfHeader& header, uint64_t size) {
  if (header.e_phoff > size ||
      uint64_t{header.e_phnum} * sizeof(ProgramHeader) > size - header.e_phoff) {
    return false;
  }
  for (unsigned i = 0; i < header.e_phnum; ++i) {
    ProgramHeader segment{};
    const auto at = static_cast<off_t>(header.e_phoff + i * sizeof(ProgramHeader));
    if (!read_at(fd, &segment, sizeof segment, at)) return false;
    if (segment.p_offset > size || segment.p_filesz > size - segment.p_offset) return false;
  }
  return true;
}

}  // namespace

std::string module_file_fault(int fd) {
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return "not a regular file";
  ElfHeader header{};
  if (!read_at(fd, &header, sizeof header, 0) ||
      std::string_view(reinterpret_cast<const char*>(header.e_ident), SELFMAG) != ELFMAG) {
    return "not a whole shared object";
  }
  const ElfHeader* own = own_header();
  if (own != nullptr &&
      (header.e_ident[EI_CLASS] != own->e_ident[EI_CLASS] ||
       header.e_ident[EI_DATA] != own->e_ident[EI_DATA] || header.e_machine != own->e_machine)) {
    return "built for another architecture";
  }
  if (header.e_phentsize != sizeof(ProgramHeader) || header.e_phnum == 0 ||
      !is_whole(fd, header, static_cast<uint64_t>(info.st_size))) {
    return "not a whole shared object";
  }
  return {};
}

}  // namespace nembit::notify
