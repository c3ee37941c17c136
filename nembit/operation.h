// Naming the operations that a failure passes through on its way out.
#pragma once

#include <exception>
#include <utility>

#include "nembit/failure.h"

namespace nembit {

/// Runs `body` as the operation named by `name()`: a failure that leaves it
/// records that name, and any other exception is turned into such a failure.
/// The name is only composed when something fails.
template <typename Name, typename Body>
decltype(auto) in_operation(Name&& name, Body&& body) {
  try {
    return std::forward<Body>(body)();
  } catch (Failure& failure) {
    failure.passed_through(name());
    throw;
  } catch (const std::exception& error) {
    Failure failure = Failure::from_exception(error);
    failure.passed_through(name());
    throw failure;  // NOLINT(cert-err09-cpp,cert-err61-cpp,misc-throw-by-value-catch-by-reference)
  }
}

}  // namespace nembit
