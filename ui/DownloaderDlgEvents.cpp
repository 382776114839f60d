// The download window's handlers of the worker events.

#include <utility>
#include <variant>

#include "base/ResString.h"
#include "base/StringTable.h"
#include "download/WorkerEvents.h"
#include "platform/ShellOpen.h"
#include "ui/DownloaderDlg.h"
#include "ui/EventTexts.h"
#include "ui/NoticeBox.h"

namespace {
template <typename... Handlers>
struct Overloaded : Handlers... {
    using Handlers::operator()...;
};
}  // namespace

LRESULT CDownloaderDlg::WindowProc(const WorkerEvent& event) {
    return std::visit(Overloaded{[this](const UpdateProgress& e) { return OnUpdateProgress(e); },
                                 [this](const UpdateFileSize& e) { return OnUpdateFileSize(e); },
                                 [this](const UpdateSpeed& e) { return OnUpdateSpeed(e); },
                                 [this](const ShowDetail& e) { return OnShowDetail(e); },
                                 [this](const ShowDownFail& e) { return OnShowDownFail(e); },
                                 [this](const ShowRetry& e) { return OnShowRetry(e); }},
                      event);
}

LRESULT CDownloaderDlg::OnUpdateProgress(const UpdateProgress& progress) {
    // Once the window is leaving, a late report must not start the installer a second time.
    if (m_app.quit.load() == 1) return 0;
    if (IsCompleteProgress(progress.percent)) {
        if (m_opener) return 0;  // already being opened
        const std::string installer = m_app.params.Get("AppPath");
        if (installer.empty()) {
            OnExit();
            return 1;
        }
        // The window stays until xdg-open has answered: when it cannot open the installer,
        // the user is told where the file is instead of seeing the window just vanish.
        m_opener = ShellOpenWatched(installer, [this, installer](int status) {
            if (status == kShellOpenNoHandler || status == kShellOpenFailed)
                ShowNoticeBox(m_window, OpenFailedText(installer),
                              LoadResString(IDS_NOTICE_CAPTION));
            OnExit();
        });
        return 1;
    }
    const ProgressTexts texts = ProgressTextsOf(progress.bytesDone, progress.percent);
    InvokeScript("jsUpdateProgress", {texts.percent, texts.megabytes});
    return 1;
}

LRESULT CDownloaderDlg::OnUpdateFileSize(const UpdateFileSize& size) {
    InvokeScript("jsUpdateFileSize", {FileSizeTextOf(size.totalBytes)});
    return 1;
}

LRESULT CDownloaderDlg::OnUpdateSpeed(const UpdateSpeed& speed) {
    InvokeScript("jsUpdateSpeed", {SpeedTextOf(speed.kibPerSecond)});
    return 1;
}

LRESULT CDownloaderDlg::OnShowDetail(const ShowDetail& detail) {
    InvokeScript("jsShowDetail", {detail.text});
    return 1;
}

LRESULT CDownloaderDlg::OnShowDownFail(const ShowDownFail& failure) {
    // The failure view is a worker's last word: its Retry button must work at once, before the
    // worker has quite returned.
    m_busyWorker = 0;
    // No retry notice from before stays under the failure's words.
    if (std::exchange(m_retryNoticeShown, false)) InvokeScript("jsClearRetry", {});
    InvokeScript("jsShowDownFail", {failure.text});
    return 1;
}

LRESULT CDownloaderDlg::OnShowRetry(const ShowRetry& retry) {
    m_retryNoticeShown = true;
    InvokeScript("jsShowRetry", {retry.text});
    return 1;
}
