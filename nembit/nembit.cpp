// nembit: creates blank files, and every missing parent directory, from names
// that may hold one brace group; prints, copies to the clipboard and announces
// the absolute path of each file it creates.
//
// Start-up runs once, before anything else: it probes the optional clipboard
// and GNTP client components, fixes the program's name and version, then runs
// main with its result as the exit status.

#include "nembit/nembit.h"

#include <cerrno>
#include <csignal>
#include <ostream>
#include <string>

#include "common/system_error.h"
#include "nembit/command_line.h"
#include "nembit/host.h"
#include "nembit/output.h"
#if NEMBIT_WITH_GNTP
#include "gntp/growl_notifier.h"
#endif

namespace nembit {

namespace {

// Whether everything written to standard output reached it; says so on
// standard error, with the system's reason, when not.
bool flush_standard_output(FdStreamBuf& out, std::ostream& err) {
  if (out.pubsync() == 0 && out.error() == 0) return true;
  // The system's text alone, without the "[Errno N] " before it.
  const std::string reason = errno_text(out.error());
  err << "nembit: error writing standard output: " + reason.substr(reason.find("] ") + 2) + "\n";
  err.flush();
  return false;
}

}  // namespace

Process start_up(std::vector<std::string> argv, std::ostream& out, std::string program_dir) {
  Process process;
  process.argv = std::move(argv);
  // The help has one layout, the plain one, which prints every help text with
  // its own line breaks and blanks.
#if NEMBIT_WITH_CLIPBOARD
  process.clipboard = clipboard::open_system_clipboard();
#endif
  process.HAS_CLIPBOARD = process.clipboard != nullptr;
  if (!process.HAS_CLIPBOARD) {
    out << "Warning: clipboard module not available. Install with: pip install clipboard\n";
  }
#if NEMBIT_WITH_GNTP
  process.make_notifier = [](gntp::Application application) {
    return std::make_unique<gntp::GrowlNotifier>(std::move(application));
  };
#endif
  process.HAS_GROWL = static_cast<bool>(process.make_notifier);
  if (!process.HAS_GROWL) {
    out << "Warning: gntp module not available. Install with: pip install gntp\n";
  }
  process.NAME = "nembit";
  process.program_dir =
      program_dir.empty()
          ? find_program_dir(process.argv.empty() ? nullptr : process.argv[0].c_str())
          : std::move(program_dir);
  RealDiskInterface disk;
  process.version = get_version(disk, process.program_dir, process.NAME, out);
  return process;
}

int main(const Process& process, DiskInterface& disk, std::ostream& out, std::ostream& err) {
  Parsed parsed = parse_command_line(process.argv, process.version, out, err);
  if (!parsed.arguments) return parsed.status;
  const std::vector<std::string> file_list = rejoin_arguments(std::move(parsed.arguments->files));
  FileCreator creator(process, disk, out);
  const int success_count = creator.create_files(file_list);
  const size_t total_expected = count_expected(file_list);
  print_summary(out, success_count, total_expected);
  return static_cast<size_t>(success_count) == total_expected ? 0 : 1;
}

int run(int argc, char** argv) {
  FdStreamBuf out_buffer(1);
  FdStreamBuf err_buffer(2);
  if (occupy_closed_standard_streams()) out_buffer.set_error(EBADF);
  std::ostream out(&out_buffer);
  std::ostream err(&err_buffer);
  int status = 1;
  try {
    const Process process = start_up(process_arguments(argc, argv), out);
    RealDiskInterface disk;
    status = main(process, disk, out, err);
  } catch (const clipboard::Interrupted& interrupted) {
    // The user stopped the run while a copy was under way, and the copy has
    // been stopped: keep what was printed, then end as the signal ends others.
    out.flush();
    std::signal(interrupted.signal, SIG_DFL);
    std::raise(interrupted.signal);
    status = 128 + interrupted.signal;
  } catch (const std::exception& error) {
    // A failure that nothing below handled ends the run.
    out.flush();
    const auto* failure = dynamic_cast<const Failure*>(&error);
    err << (failure != nullptr ? *failure : Failure::from_exception(error)).diagnostic();
    status = 1;
  }
  return flush_standard_output(out_buffer, err) ? status : 1;
}

}  // namespace nembit
