#include "nembit/file_creator.h"

#include <cerrno>
#include <deque>
#include <optional>

#include "brace_expansion.h"
#include "common/escape.h"
#include "common/path.h"
#include "common/stop_signals.h"
#include "operation.h"
#include "warning.h"

namespace nembit {

FileCreator::FileCreator(const Process& process, DiskInterface& disk, std::ostream& out)
    : icon_path(join_path(process.program_dir, "nembit.jpg")),
      process_(process),
      disk_(disk),
      out_(out) {
  if (process_.HAS_GROWL()) _init_growl();
}

std::vector<std::string> FileCreator::parse_brace_expansion(std::string_view text) {
  return nembit::parse_brace_expansion(text);
}

bool FileCreator::create_file(const std::string& filepath) {
  try {
    in_operation([&] { return "create_file(" + quoted(filepath) + ")"; },
                 [&] {
                   if (filepath.find('\0') != std::string::npos) {
                     throw Failure("value error", "embedded null byte");
                   }
                   if (std::string why = disk_.refusal(filepath); !why.empty()) {
                     throw Failure("value error", why + ": " + quoted(filepath));
                   }
                   create_and_announce(normal_form(filepath));
                 });
    return true;
  } catch (const Failure& failure) {
    report_failure(filepath, failure);
    return false;
  }
}

void FileCreator::create_and_announce(const std::string& path) {
  make_file(path);
  // A stop asked for while the components are busy still lets the file
  // that exists now have its line.
  std::optional<Interrupted> interrupted;
  try {
    copy_to_clipboard(path);
    _notify(path);
  } catch (const Interrupted& stop) {
    interrupted = stop;
  }
  print_created(path);
  if (interrupted) throw Interrupted{interrupted->signal};
}

void FileCreator::copy_to_clipboard(const std::string& path) {
  if (!process_.HAS_CLIPBOARD()) return;
  try {
    process_.components.clipboard->copy(absolute_path_of(path));
  } catch (const std::exception& error) {
    report_copy_failure(error);
  }
}

void FileCreator::report_copy_failure(const std::exception& error) {
  out_ << warning_line("Could not copy to clipboard: ", error.what());
}

void FileCreator::flush() {
  if (process_.HAS_CLIPBOARD()) {
    try {
      process_.components.clipboard->flush();
    } catch (const std::exception& error) {
      report_copy_failure(error);
    }
  }
  if (growl) {
    try {
      growl->flush();
    } catch (const std::exception& error) {
      report_notice_failure(error);
    }
  }
}

void FileCreator::print_created(const std::string& path) {
  // The line is composed whole first: forming the absolute path can fail.
  constexpr std::string_view kCreated = "✓ File created: \"";
  if (has_root(path) || path == ".") {
    line_.assign(kCreated);
    append_printable(line_, absolute_path_of(path));
  } else {
    // Relative names, the common case, share the working directory's part.
    if (relative_line_start_.empty()) {
      std::string base = absolute_path_of("x");
      base.pop_back();
      relative_line_start_.assign(kCreated);
      append_printable(relative_line_start_, base);
    }
    line_.assign(relative_line_start_);
    append_printable(line_, path);
  }
  line_.append("\"\n");
  out_ << line_;
}

int FileCreator::create_files(const std::vector<std::string>& files) {
  // The names, without copies: those that braces stand for are kept in a
  // deque, which never moves what it holds.
  std::deque<std::string> expanded;
  std::vector<const std::string*> all_files;
  all_files.reserve(files.size());
  for (const std::string& item : files) {
    if (!has_braces(item)) {
      all_files.push_back(&item);
      continue;
    }
    for (std::string& name : parse_brace_expansion(item)) {
      all_files.push_back(&expanded.emplace_back(std::move(name)));
    }
  }
  int success_count = 0;
  for (const std::string* name : all_files) {
    throw_if_stopped();
    if (create_file(*name)) ++success_count;
  }
  throw_if_stopped();
  flush();
  return success_count;
}

// Walks up from `dir` until a directory is made or found, then makes the
// missing ones on the way back down. A directory that cannot be made is no
// error when one stands there afterwards, made by someone else meanwhile.
void FileCreator::make_dirs(std::string_view dir) {
  const auto make = [&](const std::string& name) {
    const int error = disk_.make_dir(name);
    if (error != 0 && error != ENOENT && !disk_.is_dir(name)) {
      throw Failure::from_errno(error, "mkdir", name);
    }
    if (error != ENOENT) known_dirs_.insert(name);
    return error;
  };
  std::vector<std::string_view> missing;
  for (std::string_view current = dir; !is_root_or_dot(current); current = parent_of(current)) {
    if (make(std::string(current)) != ENOENT) break;
    missing.push_back(current);
  }
  for (size_t i = missing.size(); i-- > 0;) {
    const std::string name(missing[i]);
    if (make(name) == ENOENT) throw Failure::from_errno(ENOENT, "mkdir", name);
  }
}

void FileCreator::make_file(const std::string& path) {
  // Names come in runs, all new or all existing: the first call is the one
  // that the previous name needed. A path whose times can be set exists, and
  // so do all its parents.
  const bool touched_first = last_existed_;
  if (touched_first && disk_.touch(path) == 0) return;
  last_existed_ = false;
  const std::string parent(parent_of(path));
  const bool known = is_root_or_dot(parent) || known_dirs_.contains(parent);
  const auto make_parents = [&] {
    in_operation([&] { return "creating the parent directories of " + quoted(path); },
                 [&] { make_dirs(parent); });
  };
  if (!known) make_parents();
  // A new name takes one exclusive create, which never opens what exists.
  if (disk_.create_new_file(path) == 0) return;
  if (!touched_first && disk_.touch(path) == 0) {
    last_existed_ = true;
    return;
  }
  int error = disk_.create_file(path);
  if (error == ENOENT && known && !is_root_or_dot(parent)) {
    // A directory this creator made or found earlier has gone: make it again.
    known_dirs_.clear();
    make_parents();
    error = disk_.create_file(path);
  }
  if (error != 0) throw Failure::from_errno(error, "open", path);
}

std::string FileCreator::absolute_path_of(const std::string& path) {
  if (has_root(path) && !is_absolute(path)) {
    std::string full;
    if (const int error = disk_.full_path(path, full); error != 0) {
      throw Failure::from_errno(error, "GetFullPathName", path);
    }
    return full;
  }
  if (!has_root(path)) {
    if (working_dir_error_ < 0) working_dir_error_ = disk_.working_dir(working_dir_);
    if (working_dir_error_ != 0) throw Failure::from_errno(working_dir_error_, "getcwd", "");
  }
  return absolute_form(path, working_dir_);
}

void FileCreator::report_failure(const std::string& filepath, const Failure& failure) {
  out_ << "✗ Error creating file \"" + printable(filepath) +
              "\": " + printable_text(failure.what()) + "\n";
  if (debug_requested(process_)) out_ << failure.diagnostic() + "\n";
}

}  // namespace nembit
