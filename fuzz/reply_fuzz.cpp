// Reads arbitrary bytes as a GNTP reply.
#include <cstdint>
#include <cstdlib>

#include "notify/gntp/message.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view reply(reinterpret_cast<const char*>(data), size);
  if (nembit::gntp::message_length(reply) > size) std::abort();
  try {
    nembit::gntp::check_reply(reply);
  } catch (const nembit::notify::Error& error) {
    // The message is printed on one line.
    if (std::string_view(error.what()).find_first_of("\r\n") != std::string_view::npos) {
      std::abort();
    }
  }
  return 0;
}
