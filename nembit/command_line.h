// The nembit command line: the parser with its help and version banner, and
// the re-joining of brace groups that the shell split.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace nembit {

/// What the command line asks for.
struct Arguments {
  std::vector<std::string> files;
  bool debug = false;
};

/// The outcome of reading the command line: the arguments to run with, or
/// the exit status when there is nothing to run.
struct Parsed {
  std::optional<Arguments> arguments;
  int status = 0;
};

/// Reads the raw argument list `argv` (program name first). Prints the help
/// to `out` and gives status 0 when there is no argument, no file argument,
/// or -h/--help; prints the version banner of `version` to `out` for
/// --version (status 0); prints the usage line and the error to `err` for a
/// usage error (status 2). Otherwise gives the arguments, with at least one
/// file argument. Usage and errors name the program by the last path
/// component of argv[0].
Parsed parse_command_line(const std::vector<std::string>& argv, const std::string& version,
                          std::ostream& out, std::ostream& err);

/// Joins `files` with single blanks, then splits the result at every blank
/// that stands outside braces: after a "{" and up to the next "}", blanks
/// belong to the item. Runs of blanks give no empty item.
std::vector<std::string> rejoin_arguments(std::vector<std::string> files);

}  // namespace nembit
