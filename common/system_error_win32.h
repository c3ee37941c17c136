// Windows error codes as the rest of the program reports errors.
#pragma once

namespace nembit {

/// The errno value that matches a Windows error code (file not found,
/// exists, access denied, not a directory, name too long...), otherwise
/// the negated code, which errno_text shows as a Windows error.
int windows_error_number(unsigned long code);

}  // namespace nembit
