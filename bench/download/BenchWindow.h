#pragma once
// What both download benchmarks share: a generated source file and a stand-in window, a
// worker-event queue pumped by a thread of its own that counts the events of each kind.

#include <glib.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <type_traits>
#include <variant>

#include "download/WorkerEvents.h"

// bytes of pseudo-random data (not compressible) at path; exits the process on failure.
void GenerateFile(const std::string& path, std::uint64_t bytes);

class CBenchWindow {
  public:
    CBenchWindow();
    ~CBenchWindow();
    CBenchWindow(const CBenchWindow&) = delete;
    CBenchWindow& operator=(const CBenchWindow&) = delete;

    // Lets everything posted so far be counted, then stops the window thread.
    void Finish();

    const WindowHandle& Handle() const { return m_queue; }
    // Events of kind Event counted (after Finish, all that were posted).
    template <typename Event>
    long Count() const {
        return m_counts[variant_index<Event>()].load();
    }

  private:
    template <typename Event, std::size_t I = 0>
    static constexpr std::size_t variant_index() {
        if constexpr (std::is_same_v<std::variant_alternative_t<I, WorkerEvent>, Event>)
            return I;
        else
            return variant_index<Event, I + 1>();
    }

    GMainContext* m_context;
    std::array<std::atomic<long>, std::variant_size_v<WorkerEvent>> m_counts{};
    std::atomic<bool> m_finished{false};
    WindowHandle m_queue;
    std::thread m_thread;
};
