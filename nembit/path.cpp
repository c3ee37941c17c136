#include "nembit/path.h"

namespace nembit {

namespace {

bool is_separator(char c, PathStyle style) {
  return c == '/' || (style == PathStyle::kWindows && c == '\\');
}

char separator(PathStyle style) { return style == PathStyle::kWindows ? '\\' : '/'; }

bool is_drive_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Length of the root at the start of `path`, or 0.
size_t root_length(std::string_view path, PathStyle style) {
  const auto separator_at = [&](size_t at) {
    return at < path.size() && is_separator(path[at], style);
  };
  if (style == PathStyle::kPosix) {
    if (!separator_at(0)) return 0;
    return separator_at(1) && !separator_at(2) ? 2 : 1;
  }
  if (path.size() >= 2 && is_drive_letter(path[0]) && path[1] == ':')
    return separator_at(2) ? 3 : 2;
  if (separator_at(0) && separator_at(1) && path.size() > 2 && !separator_at(2)) {
    // A UNC share, \\server\share\: the server, then the share.
    size_t at = 2;
    for (int part = 0; part < 2 && at < path.size(); ++part) {
      while (at < path.size() && !separator_at(at)) ++at;
      if (at < path.size()) ++at;
    }
    return at;
  }
  return separator_at(0) ? 1 : 0;
}

// The root of `path` as the normal form writes it.
std::string normal_root(std::string_view path, PathStyle style) {
  std::string root(path.substr(0, root_length(path, style)));
  if (style == PathStyle::kWindows) {
    for (char& c : root) c = is_separator(c, style) ? '\\' : c;
  }
  return root;
}

// Whether `path` is relative and in normal form already: "." or components
// that are neither empty nor ".", as most names are.
bool is_normal_relative(std::string_view path, PathStyle style) {
  if (path.empty() || root_length(path, style) > 0) return false;
  if (style == PathStyle::kWindows && path.find('/') != std::string_view::npos) return false;
  if (path == ".") return true;
  for (size_t begin = 0;;) {
    const size_t end = path.find(separator(style), begin);
    const size_t length = (end == std::string_view::npos ? path.size() : end) - begin;
    if (length == 0 || (length == 1 && path[begin] == '.')) return false;
    if (end == std::string_view::npos) return true;
    begin = end + 1;
  }
}

}  // namespace

std::string normal_form(std::string_view path, PathStyle style) {
  if (is_normal_relative(path, style)) return std::string(path);
  std::string normal = normal_root(path, style);
  const size_t root = normal.size();
  normal.reserve(path.size());
  size_t at = root_length(path, style);
  while (at < path.size()) {
    size_t end = at;
    while (end < path.size() && !is_separator(path[end], style)) ++end;
    const std::string_view component = path.substr(at, end - at);
    if (!component.empty() && component != ".") {
      if (normal.size() > root) normal += separator(style);
      normal += component;
    }
    at = end + 1;
  }
  if (normal.empty()) normal.push_back('.');
  return normal;
}

std::string_view parent_of(std::string_view normal, PathStyle style) {
  const size_t root = root_length(normal, style);
  const size_t last = normal.rfind(separator(style));
  if (last == std::string_view::npos || last + 1 <= root) {
    return root > 0 ? normal.substr(0, root) : ".";
  }
  return normal.substr(0, last);
}

bool is_root_or_dot(std::string_view normal, PathStyle style) {
  return normal == "." || normal.size() == root_length(normal, style);
}

bool has_root(std::string_view path, PathStyle style) { return root_length(path, style) > 0; }

std::string absolute_form(std::string_view normal, std::string_view working_dir, PathStyle style) {
  if (has_root(normal, style)) return std::string(normal);
  std::string absolute(working_dir);
  if (normal == ".") return absolute;
  if (absolute.empty() || !is_separator(absolute.back(), style)) absolute += separator(style);
  absolute += normal;
  return absolute;
}

std::string_view own_name(std::string_view path, PathStyle style) {
  size_t end = path.size();
  while (end > 0) {
    size_t begin = end;
    while (begin > 0 && !is_separator(path[begin - 1], style)) --begin;
    const std::string_view component = path.substr(begin, end - begin);
    if (!component.empty() && component != ".") return component;
    if (begin == 0) break;
    end = begin - 1;
  }
  return {};
}

std::string uri_path(std::string_view rooted, PathStyle style) {
  std::string path;
  if (style == PathStyle::kWindows && rooted.size() >= 2 && rooted[1] == ':') path += '/';
  for (const char c : rooted) path += is_separator(c, style) ? '/' : c;
  return path;
}

std::string windows_refusal(std::string_view name) {
  constexpr PathStyle kStyle = PathStyle::kWindows;
  size_t at = root_length(name, kStyle);
  while (at < name.size()) {
    size_t end = at;
    while (end < name.size() && !is_separator(name[end], kStyle)) ++end;
    const std::string_view component = name.substr(at, end - at);
    at = end + 1;
    if (component.empty() || component == "." || component == "..") continue;
    if (component.back() == '.' || component.back() == ' ') {
      return "Windows drops the dot or blank that ends " + std::string(component);
    }
    std::string stem(component.substr(0, component.find('.')));
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();
    for (char& c : stem) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    const bool numbered = stem.size() == 4 &&
                          (stem.starts_with("COM") || stem.starts_with("LPT")) && stem[3] >= '1' &&
                          stem[3] <= '9';
    if (numbered || stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL") {
      return stem + " is a device name on Windows";
    }
  }
  return {};
}

std::string join_path(std::string_view dir, std::string_view name, PathStyle style) {
  std::string path(dir);
  if (path.empty() || !is_separator(path.back(), style)) path += separator(style);
  path.append(name);
  return path;
}

}  // namespace nembit
