// The interface between nembit and its desktop notification module,
// nembit-desktop, which nembit loads only when a run needs the desktop's own
// notification service. Plain C, so that the two share no C++ runtime and
// no exception ever crosses between them.
#pragma once

// A C interface, which C++'s modernisations would break.
// NOLINTBEGIN(modernize-deprecated-headers,modernize-use-using,modernize-redundant-void-arg)
#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/// The version of this interface; a module of another version is not used.
#define NEMBIT_DESKTOP_ABI 2

/// The name of the function that gives a module's interface.
#define NEMBIT_DESKTOP_ENTRY "nembit_desktop_api"

/// How a call ended.
enum NembitDesktopStatus {
  NEMBIT_DESKTOP_OK = 0,
  NEMBIT_DESKTOP_FAILED = 1,     ///< `error` says why.
  NEMBIT_DESKTOP_TIMED_OUT = 2,  ///< The service did not answer in time.
  NEMBIT_DESKTOP_STOPPED = 3,    ///< The caller's wait said to stop.
};

/// A connection to the notification service.
typedef struct NembitDesktop NembitDesktop;

/// One notice, as org.freedesktop.Notifications' Notify takes it.
typedef struct NembitDesktopNote {
  const char* app_name;
  unsigned int replaces_id;  ///< The notice it takes the place of, or 0.
  const char* app_icon;      ///< A file URI, or "".
  const char* summary;
  const char* body;
  unsigned char urgency;  ///< 0 low, 1 normal, 2 critical.
  int expire_timeout;     ///< Milliseconds; -1 for the server's default, 0 for never.
} NembitDesktopNote;

/// Asked before every wait of a call, with the caller's `context`: how many
/// milliseconds the call may wait now for the service; 0 once its time is
/// up, and -1 to give it up at once. The caller keeps every clock: the
/// module waits only as long as this allows.
typedef long (*NembitDesktopWait)(void* context);

typedef struct NembitDesktopApi {
  int abi;  ///< NEMBIT_DESKTOP_ABI.

  /// Connects to the session bus and asks the notification service for its
  /// capabilities. On success returns the connection and sets
  /// `*body_markup` to whether the service reads the body as markup;
  /// otherwise returns null, with `*status` and, when it failed, the reason
  /// in `error`.
  NembitDesktop* (*open)(NembitDesktopWait wait, void* context, int* body_markup, int* status,
                         char* error, size_t error_size);

  /// Sends one notice; returns a NembitDesktopStatus, with the id that the
  /// service gave the notice in `*id`, or the reason in `error` when it
  /// failed.
  int (*notify)(NembitDesktop* desktop, const NembitDesktopNote* note, unsigned int* id,
                NembitDesktopWait wait, void* context, char* error, size_t error_size);

  /// Closes the connection, without waiting for anything.
  void (*close)(NembitDesktop* desktop);
} NembitDesktopApi;

/// The module's one exported function.
typedef const NembitDesktopApi* (*NembitDesktopEntry)(void);

#ifdef __cplusplus
}
#endif
// NOLINTEND(modernize-deprecated-headers,modernize-use-using,modernize-redundant-void-arg)
