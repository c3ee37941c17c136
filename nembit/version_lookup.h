// The version lookup, as start-up makes it: get_version (nembit.h) with what
// it says kept rather than printed.
#pragma once

#include <string>

#include "nembit/disk_interface.h"

namespace nembit {

/// The version as get_version() gives it, with its diagnostic, if any, in
/// `said`, whole lines, instead of on a stream.
std::string lookup_version(DiskInterface& disk, const std::string& program_dir,
                           const std::string& name, std::string& said);

}  // namespace nembit
