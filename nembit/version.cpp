#include "nembit/version.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/escape.h"
#include "common/utf8.h"
#include "nembit/failure.h"
#include "nembit/white_space.h"

namespace nembit {

namespace {

constexpr std::string_view kFileName = "__version__.py";
constexpr std::string_view kFallback = "2.0";

std::string_view trim_char(std::string_view text, char c) {
  const size_t begin = text.find_first_not_of(c);
  if (begin == std::string_view::npos) return {};
  return text.substr(begin, text.find_last_not_of(c) - begin + 1);
}

// Whether `path` is a regular file after following links. A path that does
// not exist, runs through a non-directory or ends in a loop of links is none;
// any other failure to inspect it is a failure.
bool is_regular_file(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0) return S_ISREG(info.st_mode);
  if (errno == ENOENT || errno == ENOTDIR || errno == ELOOP) return false;
  throw Failure::from_errno(errno, "stat", path);
}

std::string read_file(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) throw Failure::from_errno(errno, "open", path);
  std::string text;
  char buffer[8192];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      const int error = errno;
      ::close(fd);
      throw Failure::from_errno(error, "read", path);
    }
    text.append(buffer, static_cast<size_t>(got));
  }
  ::close(fd);
  return text;
}

std::optional<std::string> version_of_line(std::string_view line) {
  if (!trim_white_space(line).starts_with("version")) return std::nullopt;
  const size_t equals = line.find('=');
  if (equals == std::string_view::npos || line.find('=', equals + 1) != std::string_view::npos) {
    return std::nullopt;
  }
  return std::string(trim_char(trim_char(trim_white_space(line.substr(equals + 1)), '"'), '\''));
}

bool wants_traceback() {
  const char* value = std::getenv("TRACEBACK");
  if (value == nullptr) return false;
  const std::string_view text(value);
  return text == "1" || text == "true" || text == "True";
}

}  // namespace

std::optional<std::string> find_version(std::string_view text, std::string_view path) {
  for (size_t begin = 0; begin < text.size();) {
    size_t end = text.find_first_of("\r\n", begin);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(begin, end - begin);
    if (const size_t bad = find_invalid_utf8(line); bad != std::string_view::npos) {
      char byte[8];
      std::snprintf(byte, sizeof byte, "0x%02x", static_cast<unsigned char>(line[bad]));
      throw Failure("decoding error", std::string("cannot decode byte ") + byte + " at offset " +
                                          std::to_string(begin + bad) + " of " + quoted(path) +
                                          " as UTF-8");
    }
    if (std::optional<std::string> version = version_of_line(line)) return version;
    begin = end + (text.substr(end).starts_with("\r\n") ? 2 : 1);
  }
  return std::nullopt;
}

std::string get_version(const std::string& program_dir, const std::string& name,
                        std::ostream& out) {
  try {
    return in_operation(
        [] { return std::string("get_version()"); },
        [&] {
          std::string path = program_dir + "/" + std::string(kFileName);
          if (!is_regular_file(path)) {
            path = program_dir + "/" + name + "/" + std::string(kFileName);
            if (!is_regular_file(path)) return std::string(kFallback);
          }
          return find_version(read_file(path), path).value_or(std::string(kFallback));
        });
  } catch (const Failure& failure) {
    if (wants_traceback()) {
      out << failure.diagnostic();
    } else {
      out << "ERROR: " + printable_text(failure.what()) + "\n";
    }
    return std::string(kFallback);
  }
}

}  // namespace nembit
