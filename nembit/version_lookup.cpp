// The version lookup: the program's version string comes from the version
// file installed beside it.

#include "version_lookup.h"

#include "common/environment.h"
#include "common/escape.h"
#include "common/path.h"
#include "nembit/nembit.h"
#include "operation.h"
#include "version_scanner.h"

namespace nembit {

namespace {

constexpr std::string_view kFileName = "__version__.py";
constexpr std::string_view kFallback = "2.0";

// Whether `path` is a regular file after following links. A path that does
// not exist, runs through a non-directory or ends in a loop of links is none;
// any other failure to inspect it is a failure.
bool is_regular_file(DiskInterface& disk, const std::string& path) {
  DiskInterface::Kind kind = DiskInterface::Kind::kNone;
  if (const int error = disk.kind_of(path, kind); error != 0) {
    throw Failure::from_errno(error, "stat", path);
  }
  return kind == DiskInterface::Kind::kRegular;
}

bool wants_traceback() {
  const std::string value = environment_value("TRACEBACK");
  return value == "1" || value == "true" || value == "True";
}

// The version that the file at `path` gives, read in blocks only as far as
// its version line.
std::optional<std::string> read_version(DiskInterface& disk, const std::string& path) {
  VersionScanner scanner(path);
  std::string call;
  const int error = disk.read_file(
      path, [&](std::string_view bytes) { return scanner.feed(bytes); }, call);
  if (error != 0) throw Failure::from_errno(error, call, path);
  return scanner.finish();
}

}  // namespace

std::string get_version(DiskInterface& disk, const std::string& program_dir,
                        const std::string& name, std::ostream& out) {
  std::string said;
  std::string version = lookup_version(disk, program_dir, name, said);
  out << said;
  return version;
}

std::string lookup_version(DiskInterface& disk, const std::string& program_dir,
                           const std::string& name, std::string& said) {
  try {
    return in_operation([] { return std::string("get_version()"); },
                        [&] {
                          std::string path = join_path(program_dir, kFileName);
                          if (!is_regular_file(disk, path)) {
                            path = join_path(join_path(program_dir, name), kFileName);
                            if (!is_regular_file(disk, path)) return std::string(kFallback);
                          }
                          return read_version(disk, path).value_or(std::string(kFallback));
                        });
  } catch (const Failure& failure) {
    said = wants_traceback() ? failure.diagnostic()
                             : "ERROR: " + printable_text(failure.what()) + "\n";
    return std::string(kFallback);
  }
}

}  // namespace nembit
