#include "nembit/command_line.h"

#include <CLI/CLI.hpp>
#include <memory>
#include <utility>

#include "common/escape.h"
#include "common/path.h"

namespace nembit {

namespace {

constexpr const char* kDescription = "Create blank files with notification support";

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

// The help, the version banner and the usage errors, as the parser writes
// them.
class Parser {
 public:
  Parser(const std::vector<std::string>& argv, const std::string& version)
      : app_(kDescription, program_name(argv)),
        banner_("nembit v" + printable_text(version) + " by " + kAuthorCredit + "\n") {
    app_.footer(kEpilog);
    app_.add_option("FILE", files_, "File(s) to create. Supports brace expansion.");
    app_.set_version_flag("--version", banner_);
    app_.add_flag("--debug", debug_, "Show detailed error messages");
  }

  Parsed help(std::ostream& out) {
    out << app_.help();
    return {};
  }

  Parsed version(std::ostream& out) const {
    out << banner_;
    return {};
  }

  Parsed usage_error(std::ostream& out, std::ostream& err, const std::string& message) const {
    out.flush();
    const auto formatter = std::dynamic_pointer_cast<CLI::Formatter>(app_.get_formatter());
    const std::string usage = formatter ? formatter->make_usage(&app_, app_.get_name()) : "";
    err << usage + app_.get_name() + ": error: " + message + "\n";
    return {.arguments = std::nullopt, .status = 2};
  }

 private:
  CLI::App app_;
  std::string banner_;
  // What the parser would fill in; it only describes them here.
  std::vector<std::string> files_;
  bool debug_ = false;
};

}  // namespace

Parsed parse_command_line(const std::vector<std::string>& argv, const std::string& version,
                          std::ostream& out, std::ostream& err) {
  // File arguments are taken here byte for byte; only the options are read
  // as such, left to right: the help and the banner end the reading, as an
  // option given a value does, while unknown options are reported together
  // at the end.
  Parser parser(argv, version);
  if (argv.size() <= 1) return parser.help(out);
  Arguments arguments;
  arguments.files.reserve(argv.size());
  std::string unknown;
  bool after_marker = false;
  for (auto arg = argv.begin() + 1; arg != argv.end(); ++arg) {
    if (after_marker || !looks_like_option(*arg)) {
      arguments.files.push_back(*arg);
    } else if (*arg == "--") {
      after_marker = true;
    } else if (*arg == "-h" || *arg == "--help") {
      return parser.help(out);
    } else if (*arg == "--version") {
      return parser.version(out);
    } else if (*arg == "--debug") {
      arguments.debug = true;
    } else if (const std::string_view name = std::string_view(*arg).substr(0, arg->find('='));
               name == "--help" || name == "--version" || name == "--debug") {
      return parser.usage_error(
          out, err, "option " + std::string(name) + " takes no value: " + printable(*arg));
    } else {
      unknown += (unknown.empty() ? "" : " ") + printable(*arg);
    }
  }
  if (!unknown.empty()) return parser.usage_error(out, err, "unrecognized arguments: " + unknown);
  if (arguments.files.empty()) return parser.help(out);
  return {.arguments = std::move(arguments)};
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
