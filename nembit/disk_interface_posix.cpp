#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <vector>

#include "common/fd_posix.h"
#include "common/path.h"
#include "nembit/disk_interface.h"

namespace nembit {

int RealDiskInterface::kind_of(const std::string& path, Kind& kind) {
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0) {
    kind = S_ISREG(info.st_mode) ? Kind::kRegular : Kind::kOther;
    return 0;
  }
  kind = Kind::kNone;
  return errno == ENOENT || errno == ENOTDIR || errno == ELOOP ? 0 : errno;
}

int RealDiskInterface::read_file(const std::string& path,
                                 const std::function<bool(std::string_view)>& take,
                                 std::string& call) {
  call = "open";
  const Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
  if (!fd.open()) return errno;
  call = "read";
  std::array<char, size_t{64} * 1024> buffer;  // Not cleared: read() fills what is used.
  for (;;) {
    const ssize_t got = ::read(fd.get(), buffer.data(), buffer.size());
    if (got == 0) return 0;
    if (got < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (take({buffer.data(), static_cast<size_t>(got)})) return 0;
  }
}

std::string RealDiskInterface::refusal(std::string_view /*name*/) { return {}; }

int RealDiskInterface::make_dir(const std::string& path) {
  return ::mkdir(path.c_str(), 0777) == 0 ? 0 : errno;
}

bool RealDiskInterface::is_dir(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

int RealDiskInterface::create_new_file(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666);
  if (fd < 0) return errno;
  ::close(fd);
  return 0;
}

int RealDiskInterface::touch(const std::string& path) {
  return ::utimensat(AT_FDCWD, path.c_str(), nullptr, 0) == 0 ? 0 : errno;
}

int RealDiskInterface::create_file(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NOCTTY | O_NONBLOCK | O_CLOEXEC, 0666);
  if (fd < 0) return errno;
  ::close(fd);
  return 0;
}

int RealDiskInterface::full_path(const std::string& path, std::string& full) {
  std::string working;
  if (const int error = working_dir(working); error != 0) return error;
  full = absolute_form(path, working);
  return 0;
}

int RealDiskInterface::working_dir(std::string& path) {
  std::vector<char> buffer(PATH_MAX);
  while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return errno;
    buffer.resize(buffer.size() * 2);
  }
  path = buffer.data();
  return 0;
}

}  // namespace nembit
