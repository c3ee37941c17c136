// The nembit command line: the parser with its help and version banner, and
// the re-joining of brace groups that the shell split.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace nembit {

/// What the command line asks for.
struct Arguments {
  std::vector<std::string> files;
  bool debug = false;
};

/// The outcome of reading the command line: the arguments to run with, or
/// the exit status and what to print when there is nothing to run.
struct Parsed {
  std::optional<Arguments> arguments;
  int status = 0;
  std::string output;  ///< For standard output: the help or the banner.
  std::string errors;  ///< For standard error: the usage line and the error.
};

/// Reads the raw argument list `argv` (program name first). Gives the help,
/// with status 0, when there is no argument, no file argument, or
/// -h/--help; the version banner of `version` for --version (status 0); the
/// usage line and the error for a usage error (status 2). Otherwise gives
/// the arguments, with at least one file argument. Usage and errors name
/// the program by the last path component of argv[0].
Parsed parse_command_line(const std::vector<std::string>& argv, const std::string& version);

/// Joins `files` with single blanks, then splits the result at every blank
/// that stands outside braces: after a "{" and up to the next "}", blanks
/// belong to the item. Runs of blanks give no empty item.
std::vector<std::string> rejoin_arguments(std::vector<std::string> files);

}  // namespace nembit
