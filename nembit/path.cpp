#include "nembit/path.h"

namespace nembit {

namespace {

size_t root_length(std::string_view path) {
  if (!path.starts_with('/')) return 0;
  return path.starts_with("//") && !path.starts_with("///") ? 2 : 1;
}

// Whether `path` is relative and in normal form already: "." or components
// that are neither empty nor ".", as most names are.
bool is_normal_relative(std::string_view path) {
  if (path.empty() || path[0] == '/') return false;
  if (path == ".") return true;
  size_t begin = 0;
  for (size_t at = 0; at <= path.size(); ++at) {
    if (at < path.size() && path[at] != '/') continue;
    const size_t length = at - begin;
    if (length == 0 || (length == 1 && path[begin] == '.')) return false;
    begin = at + 1;
  }
  return true;
}

}  // namespace

std::string normal_form(std::string_view path) {
  if (is_normal_relative(path)) return std::string(path);
  std::string normal(path.substr(0, root_length(path)));
  const size_t root = normal.size();
  normal.reserve(path.size());
  size_t at = root;
  while (at < path.size()) {
    size_t end = path.find('/', at);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view component = path.substr(at, end - at);
    if (!component.empty() && component != ".") {
      if (normal.size() > root) normal += '/';
      normal += component;
    }
    at = end + 1;
  }
  if (normal.empty()) normal.push_back('.');
  return normal;
}

std::string_view parent_of(std::string_view normal) {
  const size_t root = root_length(normal);
  const size_t slash = normal.rfind('/');
  if (slash == std::string_view::npos) return ".";
  if (slash < root) return normal.substr(0, root);
  return normal.substr(0, slash);
}

bool is_root_or_dot(std::string_view normal) {
  return normal == "." || normal.size() == root_length(normal);
}

std::string absolute_form(std::string_view normal, std::string_view working_dir) {
  if (root_length(normal) > 0) return std::string(normal);
  std::string absolute(working_dir);
  if (normal == ".") return absolute;
  if (!absolute.ends_with('/')) absolute += '/';
  absolute += normal;
  return absolute;
}

std::string_view own_name(std::string_view path) {
  size_t end = path.size();
  while (end > 0) {
    const size_t slash = path.rfind('/', end - 1);
    const size_t begin = slash == std::string_view::npos ? 0 : slash + 1;
    const std::string_view component = path.substr(begin, end - begin);
    if (!component.empty() && component != ".") return component;
    if (slash == std::string_view::npos) break;
    end = slash;
  }
  return {};
}

}  // namespace nembit
