#include "warning.h"

#include "common/escape.h"

namespace nembit {

std::string warning_line(std::string_view lead, std::string_view text) {
  std::string line = "Warning: ";
  line.append(lead).append(printable_text(text, kShownTextLimit)).append("\n");
  return line;
}

}  // namespace nembit
