// The file-system calls of the program, behind an interface so that tests
// can count them or make them fail. RealDiskInterface has one implementation
// per platform (disk_interface_posix.cpp, disk_interface_win32.cpp).
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace nembit {

/// The file-system operations of the program. Each returns 0 on success or
/// the system's error: an errno value, or on Windows the negated Windows
/// error code when no errno value matches it; Failure::from_errno describes
/// either.
class DiskInterface {
 public:
  virtual ~DiskInterface() = default;

  /// What a path names, after following symbolic links.
  enum class Kind {
    kNone,     ///< Nothing: missing, under a non-directory, or a loop of links.
    kRegular,  ///< A regular file.
    kOther,    ///< A directory or anything else.
  };

  /// Stores in `kind` what `path` names; an error only when it cannot be told.
  virtual int kind_of(const std::string& path, Kind& kind) = 0;

  /// Reads the file `path` in blocks, giving each to `take` until `take`
  /// returns true or the file ends. On failure `call` names the failed call.
  virtual int read_file(const std::string& path, const std::function<bool(std::string_view)>& take,
                        std::string& call) = 0;

  /// Whether `name`, as a path, can name a file here as it stands: on
  /// Windows a device (CON, NUL, COM1, \\.\...), a component ending in a
  /// dot or a blank, or one holding a colon would be something else. Empty
  /// when it can, otherwise why not.
  virtual std::string refusal(std::string_view name) = 0;

  /// Makes the directory `path`, access bits 0777 less the file-creation mask.
  virtual int make_dir(const std::string& path) = 0;

  /// Whether `path` is a directory, after following symbolic links.
  virtual bool is_dir(const std::string& path) = 0;

  /// Creates `path` as a new empty file (access bits 0666 less the mask) and
  /// closes it again; EEXIST when anything, even a dangling symbolic link,
  /// is there already, which is then left alone.
  virtual int create_new_file(const std::string& path) = 0;

  /// Sets the access and modification times of what `path` names (after
  /// following symbolic links) to now.
  virtual int touch(const std::string& path) = 0;

  /// Opens `path` for writing, creating it when missing (access bits 0666
  /// less the mask) but never truncating it, and closes it again. A FIFO or a
  /// terminal there can neither block the call nor become the controlling
  /// terminal.
  virtual int create_file(const std::string& path) = 0;

  /// Stores the working directory in `path`.
  virtual int working_dir(std::string& path) = 0;

  /// Stores in `full` the absolute path that the system makes of `path`, a
  /// path in normal form that has a root but depends on the current
  /// directory all the same (on Windows "C:x" and "\x").
  virtual int full_path(const std::string& path, std::string& full) = 0;
};

/// The operating system's file system.
class RealDiskInterface : public DiskInterface {
 public:
  int kind_of(const std::string& path, Kind& kind) override;
  int read_file(const std::string& path, const std::function<bool(std::string_view)>& take,
                std::string& call) override;
  std::string refusal(std::string_view name) override;
  int make_dir(const std::string& path) override;
  bool is_dir(const std::string& path) override;
  int create_new_file(const std::string& path) override;
  int touch(const std::string& path) override;
  int create_file(const std::string& path) override;
  int working_dir(std::string& path) override;
  int full_path(const std::string& path, std::string& full) override;
};

}  // namespace nembit
