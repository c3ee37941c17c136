#include "command_line.h"

#include <algorithm>
#include <utility>

#include "common/escape.h"
#include "common/path.h"

namespace nembit {

namespace {

// The author credit of the version banner.
constexpr const char* kAuthorCredit = "the nembit developers (nembit@example.org)";

constexpr const char* kDescription = "Create blank files with notification support";

// The arguments, in the order in which the parser declares them.
constexpr const char* kOptionsHelp =
    "Positionals:\n"
    "  FILE ...                    File(s) to create. Supports brace expansion.\n"
    "\n"
    "Options:\n"
    "  -h,--help                   Print this help message and exit\n"
    "  --version                   Display program version information and exit\n"
    "  --debug                     Show detailed error messages\n";

// Printed as it stands: it begins with a line feed and ends with a line feed
// and eight blanks.
constexpr const char* kEpilog =
    "\n"
    "Examples:\n"
    "  nembit file.txt                       # Create single file\n"
    "  nembit file1.txt file2.py file3       # Create multiple files\n"
    "  nembit dir/subdir/file.txt            # Create with directories\n"
    "  nembit dir/{a,b,c}.txt                # Brace expansion (creates dir/a.txt, dir/b.txt, "
    "dir/c.txt)\n"
    "  nembit dotenv/{__init__.py,core.py}   # Create package structure\n"
    "  \n"
    "Note: Use forward slashes (/) for directories, even on Windows.\n"
    "        ";

std::string program_name(const std::vector<std::string>& argv) {
  if (argv.empty() || argv[0].empty()) return "nembit";
  return std::string(own_name(argv[0]));
}

// Whether `arg` looks like a negative number, such as -1 or -.5, which is a
// file argument since no option looks like one.
bool is_negative_number(std::string_view arg) {
  if (arg.size() < 2 || arg[0] != '-') return false;
  const std::string_view rest = arg.substr(1);
  const size_t dot = rest.find('.');
  const auto digits = [](std::string_view text) {
    return text.find_first_not_of("0123456789") == std::string_view::npos;
  };
  if (dot == std::string_view::npos) return digits(rest);
  return rest.size() > dot + 1 && digits(rest.substr(0, dot)) && digits(rest.substr(dot + 1));
}

// Whether `arg`, standing before any "--", is meant as an option rather than
// a file argument: it starts with "-" and is neither "-" alone, nor a
// negative number, nor a word holding a blank.
bool looks_like_option(std::string_view arg) {
  return arg.size() >= 2 && arg[0] == '-' && !is_negative_number(arg) &&
         arg.find(' ') == std::string_view::npos;
}

// The help, the version banner and the usage errors, naming the program as
// it was started.
class Parser {
 public:
  Parser(const std::vector<std::string>& argv, const std::string& version)
      : name_(program_name(argv)), version_(version) {}

  Parsed help() const {
    std::string text(kDescription);
    text.append("\n").append(usage()).append("\n").append(kOptionsHelp);
    text.append("\n").append(kEpilog).append("\n");
    return {.arguments = std::nullopt, .status = 0, .output = std::move(text), .errors = {}};
  }

  Parsed version() const {
    std::string banner = "nembit v";
    banner.append(printable_text(version_)).append(" by ").append(kAuthorCredit).append("\n");
    return {.arguments = std::nullopt, .status = 0, .output = std::move(banner), .errors = {}};
  }

  Parsed usage_error(std::string_view message) const {
    std::string text = usage();
    text.append(name_).append(": error: ").append(message).append("\n");
    return {.arguments = std::nullopt, .status = 2, .output = {}, .errors = std::move(text)};
  }

 private:
  std::string usage() const {
    std::string line = "Usage: ";
    line.append(name_).append(" [OPTIONS] [FILE...]\n");
    return line;
  }

  std::string name_;
  const std::string& version_;
};

}  // namespace

Parsed parse_command_line(const std::vector<std::string>& argv, const std::string& version) {
  // File arguments are taken here byte for byte; only the options are read
  // as such, left to right: the help and the banner end the reading, as an
  // option given a value does, while unknown options are reported together
  // at the end.
  Parser parser(argv, version);
  if (argv.size() <= 1) return parser.help();
  Arguments arguments;
  arguments.files.reserve(argv.size());
  std::string unknown;
  bool after_marker = false;
  // A brace group that the shell split goes on in the next argument, which
  // is part of the name whatever it begins with: dir/{a, -b}.txt.
  bool in_braces = false;
  for (auto arg = argv.begin() + 1; arg != argv.end(); ++arg) {
    if (after_marker || in_braces || !looks_like_option(*arg)) {
      arguments.files.push_back(*arg);
      if (const size_t brace = arg->find_last_of("{}"); brace != std::string::npos) {
        in_braces = (*arg)[brace] == '{';
      }
    } else if (*arg == "--") {
      after_marker = true;
    } else if (*arg == "-h" || *arg == "--help") {
      return parser.help();
    } else if (*arg == "--version") {
      return parser.version();
    } else if (*arg == "--debug") {
      arguments.debug = true;
    } else if (const std::string_view name = std::string_view(*arg).substr(0, arg->find('='));
               name == "--help" || name == "--version" || name == "--debug") {
      std::string message = "option ";
      message.append(name).append(" takes no value: ").append(printable(*arg));
      return parser.usage_error(message);
    } else {
      unknown.append(" ").append(printable(*arg));
    }
  }
  if (!unknown.empty()) {
    return parser.usage_error("unrecognized arguments:" + unknown);
  }
  if (arguments.files.empty()) return parser.help();
  return {.arguments = std::move(arguments), .status = 0, .output = {}, .errors = {}};
}

std::vector<std::string> rejoin_arguments(std::vector<std::string> files) {
  std::vector<std::string> file_list;
  file_list.reserve(files.size());
  std::string current;
  bool in_braces = false;
  const auto special = [](char c) { return c == ' ' || c == '{' || c == '}'; };
  // Takes one argument, copying the stretches between blanks whole.
  const auto take = [&](std::string_view text) {
    size_t begin = 0;
    for (size_t at = 0; at < text.size(); ++at) {
      const char c = text[at];
      if (!special(c)) continue;
      if (c != ' ') {
        in_braces = c == '{';
        continue;
      }
      if (in_braces) continue;
      current.append(text.substr(begin, at - begin));
      if (!current.empty()) file_list.push_back(std::exchange(current, {}));
      begin = at + 1;
    }
    current.append(text.substr(begin));
  };
  for (std::string& file : files) {
    if (&file != &files.front() && in_braces) {
      current += ' ';
    } else if (!current.empty()) {
      file_list.push_back(std::exchange(current, {}));
    }
    // Most arguments are one whole item: no blank, no brace, nothing pending.
    if (!in_braces && current.empty() && std::ranges::none_of(file, special)) {
      if (!file.empty()) file_list.push_back(std::move(file));
      continue;
    }
    take(file);
  }
  if (!current.empty()) file_list.push_back(std::move(current));
  return file_list;
}

}  // namespace nembit
