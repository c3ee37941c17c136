#include "nembit/process.h"

#include <algorithm>

namespace nembit {

bool debug_requested(const Process& process) {
  return std::ranges::find(process.argv, "--debug") != process.argv.end();
}

}  // namespace nembit
