// How long nembit waits for what lies outside it: the clipboard's tools and
// owners, the GNTP server and the desktop's notification service.
#pragma once

#include <chrono>

namespace nembit {

/// The longest that one call to something outside may take.
inline constexpr std::chrono::milliseconds kCallLimit{5000};

/// The longest that all of one component's calls may take in one run, so
/// that a service that is slow but not stalled costs a bounded time in all,
/// however many files a run creates.
inline constexpr std::chrono::milliseconds kRunBudget{10000};

}  // namespace nembit
