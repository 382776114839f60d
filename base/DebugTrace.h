#pragma once
// Developer output: GLib structured logging at debug level in the "downloader" domain,
// silent unless G_MESSAGES_DEBUG names the domain. Never reaches the user or the log file.

#include <glib.h>

#include "base/Format.h"

#define DOWNLOADER_LOG_DOMAIN "downloader"

// A time-stamped line: the prefix "============>HH:MM:SS\t" as one piece, then the text in
// pieces of at most 1024 UTF-16 code units.
void DebugTrace(const char* format, ...) DL_PRINTF(1, 2);

// A developer trace statement, tagged with its source file and line.
#define TRACE(...)                                                                \
    g_log_structured_standard(DOWNLOADER_LOG_DOMAIN, G_LOG_LEVEL_DEBUG, __FILE__, \
                              G_STRINGIFY(__LINE__), G_STRFUNC, __VA_ARGS__)
