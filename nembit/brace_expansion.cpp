#include "brace_expansion.h"

#include "white_space.h"

namespace nembit {

std::optional<BraceGroup> find_brace_group(std::string_view text) {
  constexpr auto kNone = std::string_view::npos;
  size_t open = text.find('{');
  size_t close = kNone;
  while (open != kNone) {
    close = text.find('}', open + 1);
    if (close == kNone) return std::nullopt;  // No later "{" has a "}" either.
    if (close != open + 1) break;
    open = text.find('{', close);  // "{}" holds no item: try the next "{".
  }
  if (open == kNone) return std::nullopt;
  const size_t start = open == 0 ? kNone : text.rfind('{', open - 1);
  const size_t prefix_begin = start == kNone ? 0 : start + 1;
  const size_t suffix_end = text.find('{', close + 1);
  return BraceGroup{
      .prefix = text.substr(prefix_begin, open - prefix_begin),
      .items = text.substr(open + 1, close - open - 1),
      .suffix = text.substr(close + 1, suffix_end == kNone ? kNone : suffix_end - close - 1),
  };
}

std::vector<std::string> parse_brace_expansion(std::string_view text) {
  const std::optional<BraceGroup> group = find_brace_group(text);
  if (!group) return {std::string(text)};

  std::string prefix(group->prefix);
  if (!prefix.empty() && prefix.back() != '/' && prefix.back() != '\\') prefix += '/';

  std::vector<std::string_view> items;
  std::string_view rest = group->items;
  for (;;) {
    const size_t comma = rest.find(',');
    split_at_white_space(rest.substr(0, comma), items);
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }

  std::vector<std::string> expanded;
  expanded.reserve(items.size());
  for (const std::string_view item : items) {
    std::string name;
    name.reserve(prefix.size() + item.size() + group->suffix.size());
    name.append(prefix).append(item).append(group->suffix);
    expanded.push_back(std::move(name));
  }
  return expanded;
}

}  // namespace nembit
