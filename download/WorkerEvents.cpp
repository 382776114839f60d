#include "download/WorkerEvents.h"

#include "app/TextConv.h"

void PostProgress(std::uint32_t done, std::uint32_t total, const WindowHandle& hwnd) {
    if (total == 0) return;
    std::uint64_t percent = std::uint64_t{100} * done / total;
    if (percent > 99) return;
    PostMessage(hwnd, WM_UPDATE_PROGRESS, done, static_cast<LPARAM>(percent));
}

LRESULT SendDetail(const WindowHandle& hwnd, const std::string& text) {
    COPYDATASTRUCT record{0, static_cast<std::uint32_t>((Utf16Length(text) + 1) * 2), text.c_str()};
    return SendMessage(hwnd, WM_SHOW_MESSAGE, SHOW_DETAIL, reinterpret_cast<LPARAM>(&record));
}

LRESULT SendDownFail(const WindowHandle& hwnd, const std::string& text) {
    return SendMessage(hwnd, WM_SHOW_MESSAGE, SHOW_DOWNFAIL, reinterpret_cast<LPARAM>(&text));
}
