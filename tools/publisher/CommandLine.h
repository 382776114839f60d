#pragma once
// What the publisher's tools share on the command line: owners of GLib's option values, and
// the exit codes (0 done, 1 refused or failed, 2 wrong usage).

#include <glib.h>

#include <cstdio>
#include <memory>
#include <string>

#include "base/CallRelease.h"

inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

using OptionContext = std::unique_ptr<GOptionContext, CallRelease<g_option_context_free>>;
using OwnedText = std::unique_ptr<gchar, CallRelease<g_free>>;
using OwnedTextList = std::unique_ptr<gchar*, CallRelease<g_strfreev>>;
using OwnedError = std::unique_ptr<GError, CallRelease<g_error_free>>;

// Says why on stderr, prefixed with the tool's name, and gives the exit code to end with.
inline int Fail(const char* tool, const std::string& message, int code = kExitFailed) {
    std::fprintf(stderr, "%s: %s\n", tool, message.c_str());
    if (code == kExitUsage) std::fprintf(stderr, "Try '%s --help'.\n", tool);
    return code;
}
