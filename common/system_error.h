// The text of a system error number.
#pragma once

#include <string>

namespace nembit {

/// "[Errno 17] File exists": the number and the system's text for it. On
/// Windows a negated Windows error code reads "[WinError 87] The parameter
/// is incorrect.".
std::string errno_text(int error);

/// The system's text alone, as in "File exists".
std::string error_reason(int error);

}  // namespace nembit
