// nembit as a library: the whole command, or its parts.
//
//   #include <nembit/nembit.h>
//
//   nembit::FileCreator::parse_brace_expansion("src/{main,util}.cpp");
//       // {"src/main.cpp", "src/util.cpp"}
//
//   std::ostringstream out, err;
//   nembit::Process process = nembit::start_up({"nembit", "notes/todo.txt"}, out);
//   nembit::RealDiskInterface disk;
//   int status = nembit::main(process, disk, out, err);
//
// Link with the CMake target nembit::nembit (find_package(nembit CONFIG)) or
// with pkg-config's nembit.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "nembit/clipboard.h"
#include "nembit/disk_interface.h"
#include "nembit/failure.h"
#include "nembit/file_creator.h"
#include "nembit/interrupted.h"
#include "nembit/notifier.h"
#include "nembit/process.h"
#include "nembit/version.h"

namespace nembit {

/// Start-up, once per process: probes the clipboard and notices
/// components in that order (each missing one costs a warning line on
/// `out`), sets NAME, and reads the version from the program directory (a
/// diagnostic of a failed read goes to `out`). `argv` is the raw argument
/// list, the program's name first. `program_dir` is where the version file
/// and the icon are; when empty, it is found from the running executable
/// (share/nembit beside its bin folder, or its own folder on Windows), or,
/// where that holds no version file, it is where libnembit installed them,
/// or where a build of libnembit within another project put them.
Process start_up(std::vector<std::string> argv, std::ostream& out, std::string program_dir = {});

/// The program's version string: what the version file "__version__.py"
/// gives, read through `disk` from `program_dir`, or from its subdirectory
/// `name` when the first is no regular file; "2.0" when neither holds a
/// version line. A version line, trimmed of white space, begins with
/// "version" and holds exactly one "="; its value is the text after the "=",
/// trimmed of white space, then of double quotes, then of single quotes. A
/// failure to inspect or read the file, or a file over 1 MiB that holds no
/// version line in its first MiB, gives "2.0" as well, after one diagnostic
/// on `out`: the detailed one when the environment variable TRACEBACK is
/// "1", "true" or "True", otherwise "ERROR: " and its message.
std::string get_version(DiskInterface& disk, const std::string& program_dir,
                        const std::string& name, std::ostream& out);

/// Runs the command line of `process`: prints the help, the version banner
/// or a usage error, or creates the files it names with `disk`, printing a
/// line for each and the summary to `out`. Returns the exit status: 0 when
/// every name was created (and after the help or the banner), 1 when one
/// was not, 2 for a usage error, which goes to `err`. Failures that nothing
/// below handles are thrown as Failure; a stop signal noted meanwhile (see
/// Interrupted) ends the run at the next file.
int main(const Process& process, DiskInterface& disk, std::ostream& out, std::ostream& err);

/// The command as a process runs it: start-up and main on standard output
/// and standard error, with the checks of a process (a failed write to
/// standard output fails the run; a stop signal ends the run at the next
/// safe point, writes every complete line, then ends the process by that
/// signal). Returns the exit status.
int run(int argc, char** argv);

}  // namespace nembit
