#include "bench/download/BenchWindow.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "base/UniqueFd.h"

void GenerateFile(const std::string& path, std::uint64_t bytes) {
    UniqueFd fd(open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    std::vector<std::uint64_t> block(1 << 17);  // 1 MiB
    std::uint64_t state = 0x9E3779B97F4A7C15ull;
    for (std::uint64_t done = 0; done < bytes; done += block.size() * 8) {
        for (auto& word : block) {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            word = state;
        }
        if (write(fd.get(), block.data(), block.size() * 8) < 0) std::exit(1);
    }
}

namespace {
// Posted last by the destructor: the window has seen everything before it.
const WorkerEvent kLast = ShowDownFail{"bench: last event"};
}  // namespace

CBenchWindow::CBenchWindow()
    : m_context(g_main_context_new()),
      m_queue(CWorkerEventQueue::Create(
          m_context,
          [this](const WorkerEvent& event) {
              if (const auto* failure = std::get_if<ShowDownFail>(&event);
                  failure && failure->text == std::get<ShowDownFail>(kLast).text)
                  m_finished = true;
              else
                  ++m_counts[event.index()];
              return LRESULT{0};
          })),
      m_thread([this] {
          while (!m_finished) g_main_context_iteration(m_context, TRUE);
      }) {}

void CBenchWindow::Finish() {
    if (!m_thread.joinable()) return;
    m_queue->Post(kLast);
    m_thread.join();
}

CBenchWindow::~CBenchWindow() {
    Finish();
    m_queue->Close();
    m_queue.reset();
    g_main_context_unref(m_context);
}
