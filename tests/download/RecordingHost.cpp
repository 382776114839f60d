#include "tests/download/RecordingHost.h"

#include "base/Format.h"
#include "base/TextConv.h"
#include "download/WorkerEvents.h"
#include "tests/support/EventRecorder.h"

CRecordingHost::CRecordingHost(CAppParams& params, bool online)
    : m_params(params), m_online(online), m_context(g_main_context_new()) {
    m_queue = CWorkerEventQueue::Create(m_context.get(),
                                        [this](const WorkerEvent& event) { return Handle(event); });
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

bool CRecordingHost::AskOkCancel(const std::string& text, const std::string& caption) {
    m_queue->Call([&] { Record(Format("ask %s: %s", caption.c_str(), text.c_str())); });
    return m_answer;
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

LRESULT CRecordingHost::Handle(const WorkerEvent& event) {
    const RecordedEvent e = Numbered(event);
    switch (e.msg) {
        case WM_UPDATE_SPEED:
            Record(Format("speed %lld", static_cast<long long>(e.lParam)));
            break;
        case WM_UPDATE_FILESIZE:
            Record(Format("size %lld", static_cast<long long>(e.lParam)));
            break;
        case WM_UPDATE_PROGRESS:
            Record(Format("progress %llu %lld", static_cast<unsigned long long>(e.wParam),
                          static_cast<long long>(e.lParam)));
            break;
        case WM_SHOW_MESSAGE:
            if (e.wParam == SHOW_DETAIL) {
                // The size travels in UTF-16 units, terminator included.
                if (static_cast<std::size_t>(e.lParam) != (Utf16Length(e.text) + 1) * 2)
                    Record(Format("detail with cbData %lld", static_cast<long long>(e.lParam)));
                Record("detail " + e.text);
            } else {
                Record("downfail " + e.text);
            }
            break;
        case WM_SHOW_RETRY:
            Record("retry " + e.text);
            break;
    }
    return 0;
}

void CRecordingHost::Record(std::string event) {
    std::function<void(const std::string&)> hook;
    {
        std::lock_guard lock(m_mutex);
        m_events.push_back(event);
        m_appPaths.push_back(m_params.Get("AppPath"));
        hook = m_hook;
    }
    if (hook) hook(event);
}
