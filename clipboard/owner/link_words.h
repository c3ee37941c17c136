// The words of the link between nembit and a clipboard owner, which both
// sides speak. nembit starts the owner with a socket to itself as standard
// input and output. The owner answers kReady once it has reached the display
// server, or kError with a reason and ends. Each text then comes as a line
// with its length in decimal, followed by its bytes; the owner answers kOk
// once the text is the selection (or a newer text has taken its place
// before it was), or kError with a reason. Every answer is one line.
#pragma once

namespace nembit::clipboard::link {

inline constexpr const char kReady[] = "ready";
inline constexpr const char kOk[] = "ok";
/// Followed by a blank and the reason.
inline constexpr const char kError[] = "error";

}  // namespace nembit::clipboard::link
