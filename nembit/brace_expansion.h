// Expansion of one brace group in a file argument: dir/{a,b}.txt.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nembit {

/// The three parts of the brace group of a text, as views into that text.
struct BraceGroup {
  std::string_view prefix;  ///< Text before the "{", back to the previous "{" or the start.
  std::string_view items;   ///< Text between the "{" and the first "}" after it; never empty.
  std::string_view suffix;  ///< Text after that "}", up to the next "{" or the end.
};

/// Whether `text` holds both a "{" and a "}", anywhere and in either order:
/// the test for an argument to be expanded.
inline bool has_braces(std::string_view text) {
  return text.find('{') != std::string_view::npos && text.find('}') != std::string_view::npos;
}

/// Finds the brace group of `text`: the first "{" that has a "}" after it and
/// is not directly followed by one. This is what a leftmost search for the
/// regular expression ([^{]*)\{([^}]+)\}([^{]*) finds, but in linear time and
/// constant stack depth, whatever the length of `text`.
std::optional<BraceGroup> find_brace_group(std::string_view text);

/// The names that `text` stands for, in order, duplicates kept. A text
/// without a brace group stands for itself. The items of the group are
/// separated by commas and by white space; a prefix that ends in neither "/"
/// nor a backslash is taken as a directory and gets a "/".
std::vector<std::string> parse_brace_expansion(std::string_view text);

}  // namespace nembit
