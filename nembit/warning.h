// The warning line, in which the program says what it does without.
#pragma once

#include <string>
#include <string_view>

namespace nembit {

/// "Warning: ", `lead`, then `text` (which comes from outside the program)
/// as a message shows it: on one line, control characters escaped, cut
/// after kShownTextLimit bytes; and a line break.
std::string warning_line(std::string_view lead, std::string_view text);

}  // namespace nembit
