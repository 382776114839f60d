#include "tests/download/RecordingHost.h"

#include "app/DownloaderApp.h"
#include "app/Format.h"
#include "app/TextConv.h"
#include "download/WorkerEvents.h"

CRecordingHost::CRecordingHost(bool online) : m_online(online), m_context(g_main_context_new()) {
    m_queue = CMessageQueue::Create(
        m_context.get(), [this](unsigned msg, WPARAM w, LPARAM l) { return Handle(msg, w, l); });
    m_pump = std::thread([this] {
        while (!m_stopping.load()) g_main_context_iteration(m_context.get(), TRUE);
    });
}

CRecordingHost::~CRecordingHost() {
    m_queue->Close();
    m_stopping = true;
    g_main_context_wakeup(m_context.get());
    m_pump.join();
}

void CRecordingHost::MessageBox(const std::string& text, const std::string& caption,
                                unsigned style) {
    // Modal on the window thread, like the real box; the worker waits for it.
    m_queue->Call([&] { Record(Format("box 0x%x %s: %s", style, caption.c_str(), text.c_str())); });
}

void CRecordingHost::OnEvent(std::function<void(const std::string& event)> hook) {
    std::lock_guard lock(m_mutex);
    m_hook = std::move(hook);
}

std::vector<std::string> CRecordingHost::Events() {
    m_queue->Call([] {});
    std::lock_guard lock(m_mutex);
    return m_events;
}

std::vector<std::string> CRecordingHost::AppPathsSeen() {
    m_queue->Call([] {});
    std::lock_guard lock(m_mutex);
    return m_appPaths;
}

LRESULT CRecordingHost::Handle(unsigned msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_UPDATE_SPEED:
            Record(Format("speed %d", static_cast<int>(lParam)));
            break;
        case WM_UPDATE_FILESIZE:
            Record(Format("size %u", static_cast<unsigned>(lParam)));
            break;
        case WM_UPDATE_PROGRESS:
            Record(
                Format("progress %u %d", static_cast<unsigned>(wParam), static_cast<int>(lParam)));
            break;
        case WM_SHOW_MESSAGE:
            if (wParam == SHOW_DETAIL) {
                const auto* record = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
                const std::string text = record->lpData;
                // The size travels in UTF-16 units, terminator included.
                if (record->cbData != (Utf16Length(text) + 1) * 2)
                    Record(Format("detail with cbData %u", record->cbData));
                Record("detail " + text);
            } else {
                const auto* text = reinterpret_cast<const std::string*>(lParam);
                Record("downfail " + (text ? *text : std::string()));
            }
            break;
        default:
            Record(Format("message %u %lu %ld", msg, static_cast<unsigned long>(wParam),
                          static_cast<long>(lParam)));
    }
    return 0;
}

void CRecordingHost::Record(std::string event) {
    std::function<void(const std::string&)> hook;
    {
        std::lock_guard lock(m_mutex);
        m_events.push_back(event);
        m_appPaths.push_back(TheApp().AppParams.Get("AppPath"));
        hook = m_hook;
    }
    if (hook) hook(event);
}
