// Test support: a scratch directory of its own for each test.
#pragma once

#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>

namespace nembit {

/// `path` as UTF-8 text in the system's own form, on any platform.
inline std::string utf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return {text.begin(), text.end()};
}

/// A fresh directory, the working directory for as long as it lives; it is
/// removed with all it holds, and the previous working directory restored,
/// at the end.
class ScratchDir {
 public:
  explicit ScratchDir(const std::string& prefix) {
    namespace fs = std::filesystem;
    std::random_device random;
    for (int attempt = 0; path_.empty(); ++attempt) {
      if (attempt == 100) throw std::runtime_error("cannot make a scratch directory");
      const fs::path candidate = fs::temp_directory_path() / (prefix + std::to_string(random()));
      if (fs::create_directory(candidate)) path_ = fs::canonical(candidate);
    }
    previous_ = fs::current_path();
    fs::current_path(path_);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
    std::filesystem::remove_all(path_, ignored);
  }

  /// The directory's absolute path, links resolved.
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
  std::filesystem::path previous_;
};

}  // namespace nembit
