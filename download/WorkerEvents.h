#pragma once
// The events a worker sends to the download window. Three are posted (plain numbers; the
// sender goes on); WM_SHOW_MESSAGE is sent and blocks its sender until the window has handled
// it, so its text may live on the sender's stack.

#include <cstdint>
#include <string>

#include "platform/MessageQueue.h"

enum WorkerEvent : unsigned {
    WM_UPDATE_SPEED = 1283,     // lParam: average KiB/s of this transfer (signed 32-bit)
    WM_UPDATE_FILESIZE = 1284,  // lParam: total size in bytes, low 32 bits (signed 32-bit)
    WM_UPDATE_PROGRESS = 1285,  // wParam: bytes on disk (unsigned 32-bit); lParam: percent
    WM_SHOW_MESSAGE = 1286,     // wParam: SHOW_DETAIL or SHOW_DOWNFAIL; lParam: see below
};

enum ShowMessageKind : WPARAM {
    SHOW_DETAIL = 0,    // lParam: const COPYDATASTRUCT* holding the update document as JSON
    SHOW_DOWNFAIL = 1,  // lParam: const std::string* failure text, or 0 for the empty text
};

struct COPYDATASTRUCT {
    std::uintptr_t dwData;  // 0
    std::uint32_t cbData;   // (UTF-16 code units of the text + 1) * 2
    const char* lpData;     // NUL-terminated UTF-8 text
};

// Posts the percentage of done in total (both low 32 bits) while it is below 100; nothing for
// an unknown total (0) or at 100 and beyond, which only the finished, in-place file announces.
void PostProgress(std::uint32_t done, std::uint32_t total, const WindowHandle& hwnd);

// Sends the update document to the window and waits until it is shown.
LRESULT SendDetail(const WindowHandle& hwnd, const std::string& text);
// Sends a failure text to the window and waits until it is shown.
LRESULT SendDownFail(const WindowHandle& hwnd, const std::string& text);
