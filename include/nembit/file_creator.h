// The object that does the program's work: it expands the file arguments,
// creates each file with its missing parent directories, reports each result,
// copies each new path to the clipboard and announces it as a desktop notice.
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "nembit/disk_interface.h"
#include "nembit/failure.h"
#include "nembit/notifier.h"
#include "nembit/process.h"

namespace nembit {

/// Handles file creation with notification support.
class FileCreator {
 public:
  /// Registers with the notification service when the process has the
  /// notices component. Everything the creator prints goes to `out`. The
  /// creator keeps references to all three, which must outlive it; a
  /// temporary Process is refused.
  FileCreator(const Process& process, DiskInterface& disk, std::ostream& out);
  FileCreator(const Process&& process, DiskInterface& disk, std::ostream& out) = delete;

  /// The names that one file argument stands for: with a group "{a,b}", one
  /// name per item of the first group, items separated by commas and white
  /// space, in order; `text` as it stands without a group.
  static std::vector<std::string> parse_brace_expansion(std::string_view text);

  /// Creates `filepath` with its missing parent directories, or refreshes its
  /// times when it exists, and prints one line about it. True when created.
  /// It returns before the path is on the clipboard and before a notice to
  /// the desktop's own service is shown: see flush().
  bool create_file(const std::string& filepath);

  /// Expands every argument that holds both "{" and "}", then creates each
  /// name in turn, and flushes. Returns how many were created. A stop signal
  /// noted meanwhile (see Interrupted) ends it after the line of the file at
  /// hand, without waiting for the clipboard or the notices.
  int create_files(const std::vector<std::string>& files);

  /// Waits until the last path copied is on the clipboard and the last
  /// notice has gone out, each within its component's time limits, and
  /// prints what failed meanwhile as create_file does.
  void flush();

  /// The program's icon picture, offered with every notice when it exists.
  std::string icon_path;
  /// The registered notifier; empty when there is none.
  std::unique_ptr<notify::Notifier> growl;

 private:
  void _init_growl();
  void _notify(const std::string& filepath);

  void create_and_announce(const std::string& path);
  void copy_to_clipboard(const std::string& path);
  void report_copy_failure(const std::exception& error);
  void report_notice_failure(const std::exception& error);
  void print_created(const std::string& path);
  void make_dirs(std::string_view dir);
  void make_file(const std::string& path);
  std::string absolute_path_of(const std::string& path);
  void report_failure(const std::string& filepath, const Failure& failure);

  const Process& process_;
  DiskInterface& disk_;
  std::ostream& out_;
  /// Directories this creator made or found, in normal form.
  std::unordered_set<std::string> known_dirs_;
  /// The line being composed; kept to spare an allocation per name.
  std::string line_;
  /// The success line up to the name, for relative names.
  std::string relative_line_start_;
  /// Whether the previous name existed already.
  bool last_existed_ = false;
  /// The working directory, read once, or the error of reading it.
  std::string working_dir_;
  int working_dir_error_ = -1;
};

}  // namespace nembit
