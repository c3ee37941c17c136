#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <mutex>
#include <string_view>

#include "common/executable.h"
#include "common/fd_posix.h"
#include "notify/desktop/loader.h"

namespace nembit::notify {

namespace {

using ElfHeader = ElfW(Ehdr);
using ProgramHeader = ElfW(Phdr);

// Reads `size` bytes at `offset` of `fd`, all or nothing.
bool read_at(int fd, void* into, size_t size, off_t offset) {
  return ::pread(fd, into, size, offset) == static_cast<ssize_t>(size);
}

struct Loaded {
  const NembitDesktopApi* api = nullptr;
  std::string error;
};

// The module beside the program, or where libnembit installs it.
Loaded load() {
  const std::string path = helper_path("nembit-desktop.so");
  if (path.empty()) return {.error = "cannot tell where the program is"};
  if (::access(path.c_str(), F_OK) == 0 && !is_whole_elf(path)) {
    return {.error = "cannot load " + path + ": not a whole shared object"};
  }
  void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) {
    const char* reason = ::dlerror();
    return {.error = "cannot load " + path + (reason != nullptr ? ": " + std::string(reason) : "")};
  }
  const auto entry = reinterpret_cast<NembitDesktopEntry>(::dlsym(module, NEMBIT_DESKTOP_ENTRY));
  const NembitDesktopApi* api = entry != nullptr ? entry() : nullptr;
  if (api == nullptr || api->abi != NEMBIT_DESKTOP_ABI) {
    return {.error = path + " is no nembit-desktop module of this version"};
  }
  return {.api = api, .error = {}};
}

}  // namespace

bool is_whole_elf(const std::string& path) {
  const Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat info {};
  if (!fd.open() || ::fstat(fd.get(), &info) != 0) return false;
  const auto size = static_cast<uint64_t>(info.st_size);
  ElfHeader header{};
  if (!read_at(fd.get(), &header, sizeof header, 0)) return false;
  if (std::string_view(reinterpret_cast<const char*>(header.e_ident), SELFMAG) != ELFMAG ||
      header.e_phentsize != sizeof(ProgramHeader)) {
    return false;
  }
  if (header.e_phoff > size ||
      uint64_t{header.e_phnum} * sizeof(ProgramHeader) > size - header.e_phoff) {
    return false;
  }
  for (unsigned i = 0; i < header.e_phnum; ++i) {
    ProgramHeader segment{};
    const auto at = static_cast<off_t>(header.e_phoff + i * sizeof(ProgramHeader));
    if (!read_at(fd.get(), &segment, sizeof segment, at)) return false;
    if (segment.p_offset > size || segment.p_filesz > size - segment.p_offset) return false;
  }
  return true;
}

const NembitDesktopApi* load_desktop_module(std::string& error) {
  static std::once_flag once;
  static Loaded loaded;
  std::call_once(once, [] { loaded = load(); });
  error = loaded.error;
  return loaded.api;
}

}  // namespace nembit::notify
