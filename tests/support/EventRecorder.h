#pragma once
// A window handle for tests: a worker-event queue on a GLib main context of its own, whose
// posted and sent events are recorded in order, as the typed events they are. Pump() handles
// everything queued so far on the calling thread. Sink() reports a download's progress into it
// as the worker does.

#include <glib.h>

#include <mutex>
#include <ostream>
#include <variant>
#include <vector>

#include "download/WindowSink.h"
#include "download/WorkerEvents.h"

// How gtest shows an event in a failure message.
void PrintTo(const UpdateSpeed& e, std::ostream* os);
void PrintTo(const UpdateFileSize& e, std::ostream* os);
void PrintTo(const UpdateProgress& e, std::ostream* os);
void PrintTo(const ShowDetail& e, std::ostream* os);
void PrintTo(const ShowDownFail& e, std::ostream* os);
void PrintTo(const ShowRetry& e, std::ostream* os);

class EventRecorder {
  public:
    EventRecorder();
    ~EventRecorder();
    EventRecorder(const EventRecorder&) = delete;
    EventRecorder& operator=(const EventRecorder&) = delete;

    const WindowHandle& Handle() const { return m_queue; }
    CWindowSink& Sink() { return m_sink; }
    // Handles the queued events, then returns every event recorded so far.
    std::vector<WorkerEvent> Pump();
    // The recorded events of one kind (after pumping).
    template <class Event>
    std::vector<Event> Of() {
        std::vector<Event> kind;
        for (const WorkerEvent& event : Pump())
            if (const auto* e = std::get_if<Event>(&event)) kind.push_back(*e);
        return kind;
    }

  private:
    GMainContext* m_context;
    WindowHandle m_queue;
    CWindowSink m_sink;
    std::mutex m_mutex;
    std::vector<WorkerEvent> m_events;
};
