// Reads arbitrary bytes as a version file.
#include <cstdint>
#include <cstdlib>

#include "nembit/failure.h"
#include "nembit/version.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    const std::optional<std::string> version = nembit::find_version(text, "__version__.py");
    // A version is a piece of one line, with no line break in it.
    if (version && version->find_first_of("\r\n") != std::string::npos) std::abort();
  } catch (const nembit::Failure&) {
  }
  return 0;
}
