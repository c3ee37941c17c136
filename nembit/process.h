// The process-wide values: what start-up fixes once, before anything else,
// and every later part only reads. Code under test gets its own.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "clipboard/clipboard.h"
#include "gntp/notifier.h"

namespace nembit {

/// Makes a notifier of the GNTP client component for an application.
using NotifierFactory = std::function<std::unique_ptr<gntp::Notifier>(gntp::Application)>;

/// What start-up fixes for the whole process.
struct Process {
  /// The program's name.
  std::string NAME = "nembit";
  /// The version string shown by the version banner.
  std::string version;
  /// The raw argument list: the program's name, then every argument.
  std::vector<std::string> argv;
  /// The absolute directory that holds the program's own files.
  std::string program_dir;
  /// Whether the clipboard component was found; `clipboard` is set if so.
  bool HAS_CLIPBOARD = false;
  std::unique_ptr<clipboard::Clipboard> clipboard;
  /// Whether the GNTP client component was found; `make_notifier` is set if so.
  bool HAS_GROWL = false;
  NotifierFactory make_notifier;
};

/// Whether an element of the raw argument list is exactly "--debug".
bool debug_requested(const Process& process);

}  // namespace nembit
