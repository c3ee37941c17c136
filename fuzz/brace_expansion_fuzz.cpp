// Expands arbitrary bytes and checks what every result must satisfy.
#include <cstdint>
#include <cstdlib>

#include "brace_expansion.h"
#include "white_space.h"

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

bool holds_white_space(std::string_view text) {
  for (size_t at = 0; at < text.size(); ++at) {
    if (nembit::white_space_length(text, at) != 0) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> names = nembit::parse_brace_expansion(text);
  const std::optional<nembit::BraceGroup> group = nembit::find_brace_group(text);
  if (!group) {
    check(names.size() == 1 && names[0] == text);
    return 0;
  }
  check(group->prefix.find('{') == std::string_view::npos);
  check(!group->items.empty() && group->items.find('}') == std::string_view::npos);
  check(group->suffix.find('{') == std::string_view::npos);
  check(text.find(group->items) != std::string_view::npos);
  for (const std::string& name : names) {
    check(name.starts_with(group->prefix) && name.ends_with(group->suffix));
    const size_t directory =
        !group->prefix.empty() && !group->prefix.ends_with('/') && !group->prefix.ends_with('\\');
    const std::string_view item = std::string_view(name).substr(
        group->prefix.size() + directory,
        name.size() - group->prefix.size() - directory - group->suffix.size());
    check(!item.empty() && item.find(',') == std::string_view::npos && !holds_white_space(item));
  }
  return 0;
}
