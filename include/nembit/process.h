// The process-wide values: what start-up fixes once, before anything else,
// and every later part only reads. Code under test gets its own.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "nembit/clipboard.h"
#include "nembit/notifier.h"

namespace nembit {

/// The optional components that start-up found; each is empty when missing.
struct Components {
  std::unique_ptr<clipboard::Clipboard> clipboard;
  notify::NotifierFactory make_notifier;
};

/// What start-up fixes for the whole process. Its components work on
/// threads of their own, which a child made by fork() does not have: a
/// child must start up a Process of its own, and leave its parent's alone.
struct Process {
  /// The program's name.
  std::string NAME = "nembit";
  /// The version string shown by the version banner.
  std::string version;
  /// The raw argument list: the program's name, then every argument.
  std::vector<std::string> argv;
  /// The absolute directory that holds the program's own files.
  std::string program_dir;
  /// The optional components; the two flags below follow from them.
  Components components;

  /// Whether the clipboard component was found.
  bool HAS_CLIPBOARD() const { return components.clipboard != nullptr; }
  /// Whether the notices component (GNTP and the desktop's service) was found.
  bool HAS_GROWL() const { return static_cast<bool>(components.make_notifier); }
};

/// Whether an element of the raw argument list is exactly "--debug".
bool debug_requested(const Process& process);

}  // namespace nembit
