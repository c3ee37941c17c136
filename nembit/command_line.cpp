#include "nembit/command_line.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <utility>

#include "common/escape.h"
#include "nembit/brace_expansion.h"
#include "nembit/file_creator.h"
#include "nembit/path.h"

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

constexpr std::string_view kOptions[] = {"-h", "--help", "--version", "--debug"};

bool is_option_name(std::string_view name) {
  return std::ranges::find(kOptions, name) != std::end(kOptions);
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

// Whether `arg`, standing before any "--", is an option for the parser rather
// than a file argument: it starts with "-", is not "-" alone, names an
// option (also as "--name=value"), or else is neither a negative number nor
// holds a blank. Unknown options go to the parser, which refuses them.
bool is_option(std::string_view arg) {
  if (arg.size() < 2 || arg[0] != '-') return false;
  if (is_option_name(arg.substr(0, arg.find('=')))) return true;
  return !is_negative_number(arg) && arg.find(' ') == std::string_view::npos;
}

}  // namespace

Parsed parse_command_line(const std::vector<std::string>& argv, const std::string& version,
                          std::ostream& out, std::ostream& err) {
  CLI::App parser(kDescription, program_name(argv));
  parser.footer(kEpilog);
  // The parser sees only the options: file arguments are taken from the raw
  // list here, byte for byte, since the parser would rewrite some of them
  // (list brackets, commas, "/option" switches).
  parser.allow_windows_style_options(false);
  Arguments arguments;
  std::vector<std::string> declared_files;
  parser.add_option("FILE", declared_files, "File(s) to create. Supports brace expansion.");
  parser.set_version_flag("--version",
                          "nembit v" + printable_text(version) + " by " + kAuthorCredit);
  parser.add_flag("--debug", arguments.debug, "Show detailed error messages")
      ->disable_flag_override();
  parser.failure_message([](const CLI::App* app, const CLI::Error& error) -> std::string {
    const auto formatter = std::dynamic_pointer_cast<CLI::Formatter>(app->get_formatter());
    const std::string usage = formatter ? formatter->make_usage(app, app->get_name()) : "";
    return usage + app->get_name() + ": error: " + error.what() + "\n";
  });

  if (argv.size() <= 1) {
    out << parser.help();
    return {};
  }
  std::vector<std::string> options;
  arguments.files.reserve(argv.size());
  bool after_marker = false;
  for (auto arg = argv.begin() + 1; arg != argv.end(); ++arg) {
    if (!after_marker && *arg == "--") {
      after_marker = true;
    } else if (!after_marker && is_option(*arg)) {
      options.push_back(*arg);
    } else {
      arguments.files.push_back(*arg);
    }
  }
  try {
    // The parser takes its arguments last first.
    parser.parse(std::vector<std::string>(options.rbegin(), options.rend()));
  } catch (const CLI::Success& end) {  // --help or --version
    return {.arguments = std::nullopt, .status = parser.exit(end, out, err)};
  } catch (const CLI::ParseError& error) {
    out.flush();
    parser.exit(error, out, err);
    return {.arguments = std::nullopt, .status = 2};
  }
  if (arguments.files.empty()) {
    out << parser.help();
    return {};
  }
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

size_t count_expected(const std::vector<std::string>& file_list) {
  size_t total_expected = 0;
  for (const std::string& item : file_list) {
    total_expected += has_braces(item) ? FileCreator::parse_brace_expansion(item).size() : 1;
  }
  return total_expected;
}

void print_summary(std::ostream& out, int success_count, size_t total_expected) {
  out << "\n" + std::to_string(success_count) + "/" + std::to_string(total_expected) +
             " file(s) created successfully\n";
}

}  // namespace nembit
