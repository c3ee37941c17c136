// The text of a system error number.
#pragma once

#include <string>
#include <string_view>

namespace nembit {

/// "[Errno 17] File exists": the number and the system's text for it. On
/// Windows a negated Windows error code reads "[WinError 87] The parameter
/// is incorrect.".
std::string errno_text(int error);

/// The errno value that matches a Windows error code (file not found,
/// exists, access denied, not a directory, name too long...), otherwise
/// the negated code, which errno_text shows as a Windows error.
int windows_error_number(unsigned long code);

}  // namespace nembit
