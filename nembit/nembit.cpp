// nembit: creates blank files, and every missing parent directory, from names
// that may hold one brace group; prints, copies to the clipboard and announces
// the absolute path of each file it creates.
//
// Start-up runs once, before anything else: it probes the optional clipboard
// and notices components, fixes the program's name and version, then runs
// main with its result as the exit status.

#include "nembit/nembit.h"

#include <cerrno>
#include <optional>
#include <ostream>
#include <string>

#include "brace_expansion.h"
#include "command_line.h"
#include "common/escape.h"
#include "common/executable.h"
#include "common/stop_signal_handlers.h"
#include "common/stop_signals.h"
#include "common/system_error.h"
#include "fd_stream_buf.h"
#include "host.h"
#include "output_buffer.h"
#include "version_lookup.h"
#include "warning.h"

namespace nembit {

namespace {

// How many names `file_list` stands for: the number of names each item with
// both "{" and "}" expands to, plus one for every other item.
size_t count_expected(const std::vector<std::string>& file_list) {
  size_t total_expected = 0;
  for (const std::string& item : file_list) {
    total_expected += has_braces(item) ? FileCreator::parse_brace_expansion(item).size() : 1;
  }
  return total_expected;
}

// The closing summary, an empty line then "N/M file(s) created successfully".
void print_summary(std::ostream& out, int success_count, size_t total_expected) {
  std::string line = "\n";
  line.append(std::to_string(success_count)).append("/").append(std::to_string(total_expected));
  line.append(" file(s) created successfully\n");
  out << line;
}

// Creates what `files`, the file arguments, name, with one FileCreator, and
// prints the summary; the exit status.
int create_named(const Process& process, DiskInterface& disk, std::vector<std::string> files,
                 std::ostream& out) {
  const std::vector<std::string> file_list = rejoin_arguments(std::move(files));
  FileCreator creator(process, disk, out);
  const int success_count = creator.create_files(file_list);
  const size_t total_expected = count_expected(file_list);
  print_summary(out, success_count, total_expected);
  return static_cast<size_t>(success_count) == total_expected ? 0 : 1;
}

// Start-up, with what it says (the components' warnings, the version
// lookup's diagnostic) kept in `said`.
Process start_up_saying(std::vector<std::string> argv, std::string& said, std::string program_dir) {
  Process process;
  process.argv = std::move(argv);
  // Where the program is, which its components' helpers are found by too.
  note_program_name(process.argv.empty() ? nullptr : process.argv[0].c_str());
  process.components.clipboard = clipboard::open_system_clipboard();
  if (!process.HAS_CLIPBOARD()) {
    said += "Warning: clipboard module not available. Install with: pip install clipboard\n";
  } else {
    for (const std::string& warning : process.components.clipboard->warnings()) {
      said += warning_line("", warning);
    }
  }
  process.components.make_notifier = notify::notifier_factory();
  if (!process.HAS_GROWL()) {
    said += "Warning: gntp module not available. Install with: pip install gntp\n";
  }
  process.NAME = "nembit";
  process.program_dir = program_dir.empty()
                            ? library_data_dir(find_program_dir(
                                  process.argv.empty() ? nullptr : process.argv[0].c_str()))
                            : std::move(program_dir);
  RealDiskInterface disk;
  process.version = lookup_version(disk, process.program_dir, process.NAME, said);
  return process;
}

// Whether everything written to standard output reached it; says so on
// standard error, with the system's reason, when not.
bool flush_standard_output(OutputBuffer& out, OutputBuffer& err) {
  if (out.sync() && out.error() == 0) return true;
  err.put("nembit: error writing standard output: " + error_reason(out.error()) + "\n");
  err.sync();
  return false;
}

}  // namespace

Process start_up(std::vector<std::string> argv, std::ostream& out, std::string program_dir) {
  std::string said;
  Process process = start_up_saying(std::move(argv), said, std::move(program_dir));
  out << said;
  return process;
}

int main(const Process& process, DiskInterface& disk, std::ostream& out, std::ostream& err) {
  Parsed parsed = parse_command_line(process.argv, process.version);
  if (!parsed.arguments) {
    out << parsed.output;
    if (!parsed.errors.empty()) {
      out.flush();
      err << parsed.errors;
    }
    return parsed.status;
  }
  return create_named(process, disk, std::move(parsed.arguments->files), out);
}

int run(int argc, char** argv) {
  // Before anything opens a descriptor, which could take a closed one's place.
  const bool output_closed = occupy_closed_standard_streams();
  OutputBuffer out(1);
  OutputBuffer err(2);
  if (output_closed) out.set_error(EBADF);
  restore_child_signal();
  // A stop signal ends a run that creates files at the next safe point, once
  // every complete line is written, or has had its chance to be: the signals
  // are noted from then on until the process ends.
  std::optional<StopSignalScope> stop_scope;
  int status = 1;
  try {
    // The command's own files lie beside it, and nowhere else.
    std::string said;
    const Process process = start_up_saying(process_arguments(argc, argv), said,
                                            find_program_dir(argc > 0 ? argv[0] : nullptr));
    out.put(said);
    Parsed parsed = parse_command_line(process.argv, process.version);
    if (parsed.arguments) {
      stop_scope.emplace();
      FdStreamBuf out_stream_buffer(out);
      std::ostream out_stream(&out_stream_buffer);
      RealDiskInterface disk;
      status = create_named(process, disk, std::move(parsed.arguments->files), out_stream);
    } else {
      out.put(parsed.output);
      if (!parsed.errors.empty()) {
        out.sync();
        err.put(parsed.errors);
      }
      status = parsed.status;
    }
  } catch (const Interrupted&) {
    // The signal is noted: the run ends by it below.
  } catch (const std::exception& error) {
    // A failure that nothing below handled ends the run.
    out.sync();
    const auto* failure = dynamic_cast<const Failure*>(&error);
    err.put((failure != nullptr ? *failure : Failure::from_exception(error)).diagnostic());
    status = 1;
  }
  const bool written = flush_standard_output(out, err);
  err.sync();
  if (const int signal = stop_signal(); signal != 0) {
    end_by_signal(signal);
    return 128 + signal;
  }
  return written ? status : 1;
}

}  // namespace nembit
