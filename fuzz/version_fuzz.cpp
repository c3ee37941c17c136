// Reads arbitrary bytes as a version file, whole and in two pieces split at a
// point that the input chooses: both readings must agree.
#include <cstdint>
#include <cstdlib>

#include "nembit/failure.h"
#include "version_scanner.h"

namespace {

// The version, or the failure's description prefixed by "!".
std::optional<std::string> outcome(std::string_view first, std::string_view second) {
  try {
    nembit::VersionScanner scanner("__version__.py");
    if (!scanner.feed(first)) scanner.feed(second);
    return scanner.finish();
  } catch (const nembit::Failure& failure) {
    return std::string("!") + failure.what();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::optional<std::string> whole = outcome(text, {});
  // A version is a piece of one line, with no line break in it.
  if (whole && whole->find_first_of("\r\n") != std::string::npos) std::abort();
  const size_t split = data[0] * text.size() / 255;
  if (outcome(text.substr(0, split), text.substr(split)) != whole) std::abort();
  return 0;
}
