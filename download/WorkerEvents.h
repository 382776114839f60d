#pragma once
// The events a worker sends to the download window, as typed values. Four are posted (the
// sender goes on: speed, size, progress and the retry notice); the update detail and the
// failure text are sent and block their sender until the window has handled them. Sizes travel as
// 64-bit values; only the window cuts them to the widths the page has always been shown.

#include <cstdint>
#include <memory>
#include <string>
#include <variant>

#include "platform/MessageQueue.h"

// The numbers these events had as window messages; kept for orientation.
enum WorkerMessage : unsigned {
    WM_UPDATE_SPEED = 1283,
    WM_UPDATE_FILESIZE = 1284,
    WM_UPDATE_PROGRESS = 1285,
    WM_SHOW_MESSAGE = 1286,
    WM_SHOW_RETRY = 1287,
};
enum ShowMessageKind : unsigned { SHOW_DETAIL = 0, SHOW_DOWNFAIL = 1 };

// Average KiB/s of this transfer.
struct UpdateSpeed {
    std::int32_t kibPerSecond = 0;
    bool operator==(const UpdateSpeed&) const = default;
};
// Total size in bytes.
struct UpdateFileSize {
    std::uint64_t totalBytes = 0;
    bool operator==(const UpdateFileSize&) const = default;
};
// Bytes on disk and the percentage done; 100 announces the installer, complete and in place.
struct UpdateProgress {
    std::uint64_t bytesDone = 0;
    std::int32_t percent = 0;
    bool operator==(const UpdateProgress&) const = default;
};
// The update document as JSON, for the page's version line. cbData is its size as the window
// once received it: (UTF-16 code units of the text + 1) * 2.
struct ShowDetail {
    std::string text;
    std::uint32_t cbData = 0;
    bool operator==(const ShowDetail&) const = default;
};
// The failure text of the page's failure view.
struct ShowDownFail {
    std::string text;
    bool operator==(const ShowDownFail&) const = default;
};

// A transfer failed and is tried again after a pause: the page's progress line says so.
struct ShowRetry {
    std::string text;
    bool operator==(const ShowRetry&) const = default;
};

using WorkerEvent =
    std::variant<UpdateSpeed, UpdateFileSize, UpdateProgress, ShowDetail, ShowDownFail, ShowRetry>;
using CWorkerEventQueue = CMessageQueue<WorkerEvent>;

// The "window handle" that workers hold: the queue outlives the window, so a late post is
// harmless.
using WindowHandle = std::shared_ptr<CWorkerEventQueue>;

inline bool PostMessage(const WindowHandle& hwnd, WorkerEvent event) {
    return hwnd && hwnd->Post(std::move(event));
}
inline LRESULT SendMessage(const WindowHandle& hwnd, WorkerEvent event) {
    return hwnd ? hwnd->Send(std::move(event)) : 0;
}

// Posts the percentage of done in total while it is below 100; nothing for an unknown total
// (0) or at 100 and beyond, which only the finished, in-place file announces.
void PostProgress(std::uint64_t done, std::uint64_t total, const WindowHandle& hwnd);

// Sends the update document to the window and waits until it is shown.
LRESULT SendDetail(const WindowHandle& hwnd, const std::string& text);
// Sends a failure text to the window and waits until it is shown.
LRESULT SendDownFail(const WindowHandle& hwnd, const std::string& text);
