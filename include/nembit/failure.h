// Failures that carry their own description and the chain of operations they
// passed through, so that a report can be read without debug symbols.
#pragma once

#include <exception>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace nembit {

/// A failure: its kind, a one-line description, and the operations it left
/// on its way out.
class Failure : public std::exception {
 public:
  Failure(std::string kind, std::string description);

  /// The failure of the system call `call` on `path`, described as
  /// "[Errno 17] File exists: 'f.txt'" (without the path when it is empty).
  static Failure from_errno(int error, std::string_view call, std::string_view path);

  /// A failure made from an exception of another type.
  static Failure from_exception(const std::exception& error);

  const char* what() const noexcept override { return description_.c_str(); }
  const std::string& kind() const { return kind_; }

  /// Records that the failure left the operation `operation`.
  void passed_through(std::string operation) {
    chain_.insert(chain_.begin(), std::move(operation));
  }

  /// The detailed diagnostic: the kind, the description and the chain of
  /// operations, outermost first, one per line; it ends in a line break.
  std::string diagnostic() const;

 private:
  std::string kind_;
  std::string description_;
  std::vector<std::string> chain_;  // Outermost first.
};

}  // namespace nembit
