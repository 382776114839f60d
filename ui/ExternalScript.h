#pragma once
// window.external for the page: the four methods the page calls on its window. The getter
// answers synchronously through a request to the res: scheme; the other three are messages
// to the window's script message handlers named below.

inline constexpr char kOnExitHandler[] = "velmoraOnExit";
inline constexpr char kMoveTitleBarHandler[] = "velmoraMoveTitleBar";
inline constexpr char kRetryHandler[] = "velmoraRetry";
// Not part of window.external: the script tells the host when the document's own scripts
// have run, which can be long before its last subresource (the advertisement) has loaded.
inline constexpr char kPageReadyHandler[] = "velmoraPageReady";

// The script that defines window.external; injected into the top frame at document start.
const char* ExternalScriptSource();
