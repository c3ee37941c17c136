// The file-system calls that file creation makes, behind an interface so that
// tests can count them or make them fail.
#pragma once

#include <string>

namespace nembit {

/// The file-system operations of file creation. Each returns 0 on success or
/// the system's error number.
class DiskInterface {
 public:
  virtual ~DiskInterface() = default;

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
};

/// The operating system's file system.
class RealDiskInterface : public DiskInterface {
 public:
  int make_dir(const std::string& path) override;
  bool is_dir(const std::string& path) override;
  int create_new_file(const std::string& path) override;
  int touch(const std::string& path) override;
  int create_file(const std::string& path) override;
  int working_dir(std::string& path) override;
};

}  // namespace nembit
