#include "common/path.h"

#include "common/hex.h"

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

std::string collapse_dots(std::string_view path, PathStyle style) {
  const std::string normal = normal_form(path, style);
  const size_t root = root_length(normal, style);
  std::string collapsed = normal.substr(0, root);
  size_t kept = 0;  // Components kept that a ".." may take back.
  for (size_t at = root; at < normal.size();) {
    size_t end = normal.find(separator(style), at);
    if (end == std::string::npos) end = normal.size();
    const std::string_view component = std::string_view(normal).substr(at, end - at);
    at = end + 1;
    if (component == "." && collapsed.empty()) continue;
    if (component == ".." && kept > 0) {
      const size_t last = collapsed.rfind(separator(style));
      collapsed.resize(last == std::string::npos || last < root ? root : last);
      --kept;
      continue;
    }
    if (component == ".." && root > 0) continue;
    if (collapsed.size() > root) collapsed += separator(style);
    collapsed += component;
    if (component != "..") ++kept;
  }
  return collapsed.empty() ? "." : collapsed;
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

bool is_absolute(std::string_view path, PathStyle style) {
  const size_t root = root_length(path, style);
  if (style == PathStyle::kPosix || root == 0) return root > 0;
  const bool drive_only = root == 2 && path[1] == ':';
  const bool separator_only = root == 1;
  return !drive_only && !separator_only;
}

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

std::string file_uri(std::string_view rooted, PathStyle style) {
  std::string uri = "file://";
  const bool drive = style == PathStyle::kWindows && rooted.size() >= 2 && rooted[1] == ':';
  if (drive) uri += '/';
  for (size_t at = 0; at < rooted.size(); ++at) {
    const char c = rooted[at];
    const auto byte = static_cast<unsigned char>(c);
    if (is_separator(c, style)) {
      uri += '/';
    } else if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
               (byte >= '0' && byte <= '9') || (c == ':' && drive && at == 1) ||
               std::string_view("-._~").find(c) != std::string_view::npos) {
      uri += c;
    } else {
      uri += '%';
      append_hex(uri, byte, 2, HexCase::kUpper);
    }
  }
  return uri;
}

namespace {

// Whether `stem`, in upper case, is the name of a Windows device: CON, PRN,
// AUX, NUL, CONIN$, CONOUT$, or COM or LPT with a digit from 1 to 9 or a
// superscript one, two or three.
bool is_device_name(std::string_view stem) {
  for (const std::string_view device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"}) {
    if (stem == device) return true;
  }
  if (!stem.starts_with("COM") && !stem.starts_with("LPT")) return false;
  const std::string_view digit = stem.substr(3);
  return (digit.size() == 1 && digit[0] >= '1' && digit[0] <= '9') || digit == "\u00b9" ||
         digit == "\u00b2" || digit == "\u00b3";
}

// Why Windows would not create the one component `component` as it stands.
std::string component_refusal(std::string_view component) {
  if (component.back() == '.' || component.back() == ' ') {
    return "Windows drops the dot or blank that ends " + std::string(component);
  }
  std::string stem(component.substr(0, component.find_first_of(".:")));
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  for (char& c : stem) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  if (is_device_name(stem)) return stem + " is a device name on Windows";
  if (component.find(':') != std::string_view::npos) {
    return "the colon in " + std::string(component) + " names an alternate data stream on Windows";
  }
  return {};
}

}  // namespace

std::string windows_refusal(std::string_view name) {
  constexpr PathStyle kStyle = PathStyle::kWindows;
  const auto separator_at = [&](size_t at) {
    return at < name.size() && is_separator(name[at], kStyle);
  };
  if (separator_at(0) && separator_at(1) && name.size() > 2 && name[2] == '.' && separator_at(3)) {
    // The \\.\ namespace holds devices alone.
    size_t end = 4;
    while (end < name.size() && !separator_at(end)) ++end;
    const std::string device(name.substr(4, end - 4));
    return (device.empty() ? std::string(R"(\\.\)") : device) + " is a device name on Windows";
  }
  size_t at = root_length(name, kStyle);
  while (at < name.size()) {
    size_t end = at;
    while (end < name.size() && !is_separator(name[end], kStyle)) ++end;
    const std::string_view component = name.substr(at, end - at);
    at = end + 1;
    if (component.empty() || component == "." || component == "..") continue;
    if (std::string why = component_refusal(component); !why.empty()) return why;
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
