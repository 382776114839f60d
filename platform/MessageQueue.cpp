#include "platform/MessageQueue.h"

#include <utility>

struct CMessageQueue::Pending {
    bool done = false;
    LRESULT result = 0;
};

struct CMessageQueue::Item {
    unsigned msg = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    std::function<void()> call;        // set for Call(); the message fields are unused then
    std::shared_ptr<Pending> pending;  // set for Send() and Call()
};

namespace {
// A source that is dispatched only when armed (ready time 0). Disarmed before the callback
// runs, so a message queued while the queue drains arms it again.
gboolean DispatchWhenArmed(GSource* source, GSourceFunc callback, gpointer data) {
    g_source_set_ready_time(source, -1);
    return callback(data);
}

GSourceFuncs g_wakeFuncs = {nullptr, nullptr, DispatchWhenArmed, nullptr, nullptr, nullptr};
}  // namespace

std::shared_ptr<CMessageQueue> CMessageQueue::Create(GMainContext* context, Handler handler) {
    std::shared_ptr<CMessageQueue> queue(new CMessageQueue(context, std::move(handler)));
    queue->AttachWakeSource();
    return queue;
}

CMessageQueue::CMessageQueue(GMainContext* context, Handler handler)
    : m_context(context ? g_main_context_ref(context)
                        : g_main_context_ref(g_main_context_default())),
      m_handler(std::move(handler)) {}

CMessageQueue::~CMessageQueue() {
    g_source_destroy(m_wakeSource);
    g_source_unref(m_wakeSource);
    g_main_context_unref(m_context);
}

void CMessageQueue::AttachWakeSource() {
    m_wakeSource = g_source_new(&g_wakeFuncs, sizeof(GSource));
    g_source_set_priority(m_wakeSource, G_PRIORITY_DEFAULT);
    g_source_set_ready_time(m_wakeSource, -1);
    // A handler's nested loop (a modal box) must go on draining the queue.
    g_source_set_can_recurse(m_wakeSource, TRUE);
    // The source holds a weak reference only: a queue that is gone is simply not drained.
    g_source_set_callback(
        m_wakeSource, &CMessageQueue::OnWake, new std::weak_ptr<CMessageQueue>(weak_from_this()),
        [](gpointer data) { delete static_cast<std::weak_ptr<CMessageQueue>*>(data); });
    g_source_attach(m_wakeSource, m_context);
}

bool CMessageQueue::Post(unsigned msg, WPARAM wParam, LPARAM lParam) {
    std::lock_guard lock(m_mutex);
    return Enqueue(Item{msg, wParam, lParam, {}, {}});
}

LRESULT CMessageQueue::Send(unsigned msg, WPARAM wParam, LPARAM lParam) {
    if (g_main_context_is_owner(m_context)) {
        // Sent from the window thread itself: handle it in place, as a window would.
        if (IsClosed()) return 0;
        return m_handler(msg, wParam, lParam);
    }
    auto pending = std::make_shared<Pending>();
    std::unique_lock lock(m_mutex);
    if (!Enqueue(Item{msg, wParam, lParam, {}, pending})) return 0;
    return Wait(pending, lock);
}

bool CMessageQueue::Call(std::function<void()> fn) {
    if (g_main_context_is_owner(m_context)) {
        if (IsClosed()) return false;
        fn();
        return true;
    }
    auto pending = std::make_shared<Pending>();
    std::unique_lock lock(m_mutex);
    if (!Enqueue(Item{0, 0, 0, std::move(fn), pending})) return false;
    Wait(pending, lock);
    return pending->done;
}

LRESULT CMessageQueue::Wait(const std::shared_ptr<Pending>& pending,
                            std::unique_lock<std::mutex>& lock) {
    m_handled.wait(lock, [&] { return pending->done || m_closed; });
    return pending->done ? pending->result : 0;
}

bool CMessageQueue::Enqueue(Item item) {
    if (m_closed) return false;
    m_items.push_back(std::move(item));
    ScheduleWake();
    return true;
}

void CMessageQueue::ScheduleWake() {
    if (m_wakeScheduled) return;
    m_wakeScheduled = true;
    g_source_set_ready_time(m_wakeSource, 0);  // thread-safe; wakes the window thread
}

gboolean CMessageQueue::OnWake(gpointer data) {
    if (auto self = static_cast<std::weak_ptr<CMessageQueue>*>(data)->lock()) self->Drain();
    return G_SOURCE_CONTINUE;
}

void CMessageQueue::Drain() {
    // Handle what is queued now, one item at a time, leaving the rest in the queue: a handler
    // that runs a nested loop (a modal box) drains the remainder from there, in order, instead
    // of letting later messages overtake the ones still held here.
    std::size_t queuedNow;
    {
        std::lock_guard lock(m_mutex);
        m_wakeScheduled = false;
        queuedNow = m_items.size();
    }
    for (; queuedNow > 0; --queuedNow) {
        Item item;
        {
            std::lock_guard lock(m_mutex);
            if (m_closed || m_items.empty()) return;
            item = std::move(m_items.front());
            m_items.pop_front();
        }
        LRESULT result = 0;
        if (item.call)
            item.call();
        else
            result = m_handler(item.msg, item.wParam, item.lParam);
        if (item.pending) {
            std::lock_guard lock(m_mutex);
            item.pending->done = true;
            item.pending->result = result;
            m_handled.notify_all();
        }
    }
}

void CMessageQueue::Close() {
    std::lock_guard lock(m_mutex);
    m_closed = true;
    m_items.clear();
    m_handled.notify_all();
}

bool CMessageQueue::IsClosed() const {
    std::lock_guard lock(m_mutex);
    return m_closed;
}
