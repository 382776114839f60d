#include "download/WorkerEvents.h"

#include "base/TextConv.h"

void PostProgress(std::uint64_t done, std::uint64_t total, const WindowHandle& hwnd) {
    if (total == 0) return;
    // Computed wide, so that 100 * done cannot overflow whatever the sizes.
    const auto percent = static_cast<unsigned __int128>(done) * 100 / total;
    if (percent > 99) return;
    PostMessage(hwnd, UpdateProgress{done, static_cast<std::int32_t>(percent)});
}

LRESULT SendDetail(const WindowHandle& hwnd, const std::string& text) {
    const auto cbData = static_cast<std::uint32_t>((Utf16Length(text) + 1) * 2);
    return SendMessage(hwnd, ShowDetail{text, cbData});
}

LRESULT SendDownFail(const WindowHandle& hwnd, const std::string& text) {
    return SendMessage(hwnd, ShowDownFail{text});
}
