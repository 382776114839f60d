#include "tests/download/RecordingHost.h"

#include <variant>

#include "base/Format.h"
#include "base/TextConv.h"
#include "download/WorkerEvents.h"

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
    struct Text {
        std::vector<std::string> operator()(const UpdateSpeed& e) const {
            return {Format("speed %d", e.kibPerSecond)};
        }
        std::vector<std::string> operator()(const UpdateFileSize& e) const {
            return {Format("size %llu", static_cast<unsigned long long>(e.totalBytes))};
        }
        std::vector<std::string> operator()(const UpdateProgress& e) const {
            return {Format("progress %llu %d", static_cast<unsigned long long>(e.bytesDone),
                           e.percent)};
        }
        std::vector<std::string> operator()(const ShowDetail& e) const {
            // The size travels in UTF-16 units, terminator included.
            if (e.cbData != (Utf16Length(e.text) + 1) * 2)
                return {Format("detail with cbData %u", e.cbData), "detail " + e.text};
            return {"detail " + e.text};
        }
        std::vector<std::string> operator()(const ShowDownFail& e) const {
            return {"downfail " + e.text};
        }
        std::vector<std::string> operator()(const ShowRetry& e) const {
            return {"retry " + e.text};
        }
    };
    for (std::string& text : std::visit(Text{}, event)) Record(std::move(text));
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
