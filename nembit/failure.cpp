#include "nembit/failure.h"

#include <cxxabi.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <typeinfo>
#include <utility>

#include "common/escape.h"
#include "common/system_error.h"

namespace nembit {

namespace {

// The symbolic name of the errors that files and sockets give, the same on
// every platform; others go by number.
std::string errno_name(int error) {
  static constexpr std::pair<int, const char*> kNames[] = {
      {EPERM, "EPERM"},   {ENOENT, "ENOENT"},   {EIO, "EIO"},
      {EBADF, "EBADF"},   {EACCES, "EACCES"},   {EBUSY, "EBUSY"},
      {EEXIST, "EEXIST"}, {ENOTDIR, "ENOTDIR"}, {EISDIR, "EISDIR"},
      {EINVAL, "EINVAL"}, {EMFILE, "EMFILE"},   {ENOSPC, "ENOSPC"},
      {EROFS, "EROFS"},   {EPIPE, "EPIPE"},     {ENAMETOOLONG, "ENAMETOOLONG"},
      {ELOOP, "ELOOP"},
  };
  for (const auto& [number, name] : kNames) {
    if (number == error) return name;
  }
  return error < 0 ? "WinError " + std::to_string(-error) : "errno " + std::to_string(error);
}

std::string type_name(const std::exception& error) {
  // The Itanium C++ ABI's names, which GCC and Clang use everywhere.
  const char* mangled = typeid(error).name();
  int status = 0;
  const std::unique_ptr<char, decltype(&std::free)> demangled(
      abi::__cxa_demangle(mangled, nullptr, nullptr, &status), &std::free);
  if (status == 0 && demangled) return demangled.get();
  return mangled;
}

}  // namespace

Failure::Failure(std::string kind, std::string description)
    : kind_(std::move(kind)), description_(std::move(description)) {}

Failure Failure::from_errno(int error, std::string_view call, std::string_view path) {
  std::string description = errno_text(error);
  std::string operation(call);
  operation += '(';
  if (!path.empty()) {
    const std::string name = quoted(path);
    description.append(": ").append(name);
    operation += name;
  }
  operation += ')';
  Failure failure("system error " + errno_name(error), std::move(description));
  failure.passed_through(std::move(operation));
  return failure;
}

Failure Failure::from_exception(const std::exception& error) {
  return {type_name(error), error.what()};
}

std::string Failure::diagnostic() const {
  std::string text = "failure: " + kind_ + "\ndescription: " + description_ + "\n";
  if (!chain_.empty()) text += "operations, outermost first:\n";
  for (const std::string& operation : chain_) text += "  " + operation + "\n";
  return text;
}

}  // namespace nembit
