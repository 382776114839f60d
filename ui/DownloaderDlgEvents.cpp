// The download window's handlers of the worker events.

#include "app/DownloaderApp.h"
#include "download/WorkerEvents.h"
#include "platform/ShellOpen.h"
#include "ui/DownloaderDlg.h"
#include "ui/EventTexts.h"

LRESULT CDownloaderDlg::WindowProc(unsigned msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_UPDATE_PROGRESS:
            return OnUpdateProgress(wParam, lParam);
        case WM_UPDATE_FILESIZE:
            return OnUpdateFileSize(wParam, lParam);
        case WM_UPDATE_SPEED:
            return OnUpdateSpeed(wParam, lParam);
        case WM_SHOW_MESSAGE:
            return OnShowMessage(wParam, lParam);
        default:
            return 0;
    }
}

LRESULT CDownloaderDlg::OnUpdateProgress(WPARAM wParam, LPARAM lParam) {
    // Once the window is leaving, a late report must not start the installer a second time.
    if (TheApp().m_bQuit.load() == 1) return 0;
    if (IsCompleteProgress(lParam)) {
        const std::string installer = TheApp().AppParams.Get("AppPath");
        if (!installer.empty()) ShellOpen(installer);
        OnExit();
        return 1;
    }
    const ProgressTexts texts = ProgressTextsOf(wParam, lParam);
    InvokeScript("jsUpdateProgress", {texts.percent, texts.megabytes});
    return 1;
}

LRESULT CDownloaderDlg::OnUpdateFileSize(WPARAM, LPARAM lParam) {
    InvokeScript("jsUpdateFileSize", {FileSizeTextOf(lParam)});
    return 1;
}

LRESULT CDownloaderDlg::OnUpdateSpeed(WPARAM, LPARAM lParam) {
    InvokeScript("jsUpdateSpeed", {SpeedTextOf(lParam)});
    return 1;
}

LRESULT CDownloaderDlg::OnShowMessage(WPARAM wParam, LPARAM lParam) {
    // The record and the text belong to the sender and live only until this returns: the
    // call below copies the text.
    if (wParam == SHOW_DETAIL) {
        const auto* record = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        if (!record) return 0;
        InvokeScript("jsShowDetail", {record->lpData ? record->lpData : ""});
        return 1;
    }
    if (wParam == SHOW_DOWNFAIL) {
        const auto* text = reinterpret_cast<const std::string*>(lParam);
        InvokeScript("jsShowDownFail", {text ? *text : std::string()});
        return 1;
    }
    return 1;
}
