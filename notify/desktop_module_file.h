// What stands at the desktop module's path, checked before the module is
// loaded: the loader maps what a file's headers name and would fault on a
// file cut short, wait on a FIFO for a writer that never comes, and say "No
// such file" of one built for another machine. POSIX only
// (desktop_module_file_posix.cpp).
#pragma once

#include <string>

namespace nembit::notify {

/// Why the file that `fd` has open cannot be loaded into this process as a
/// module: it is no regular file, no whole ELF object (its header, its
/// program headers and every segment they name lie within the file), or an
/// object for another kind of process; empty when it can.
std::string module_file_fault(int fd);

}  // namespace nembit::notify
