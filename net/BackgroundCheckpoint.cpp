#include "net/BackgroundCheckpoint.h"

#include <utility>

CBackgroundCheckpoint::CBackgroundCheckpoint(const CPartialFile& partial, std::string recordPath)
    : m_partial(partial), m_recordPath(std::move(recordPath)) {}

NetResult CBackgroundCheckpoint::Start(const ResumeRecord& record) {
    if (NetResult before = Wait(); !before.Ok()) return before;
    m_running = std::async(std::launch::async, [this, record] {
        // The record never claims bytes that a power loss could still take away.
        if (NetResult synced = m_partial.SyncWritten(); !synced.Ok()) return synced;
        return SaveResumeRecord(m_recordPath, record);
    });
    return {};
}

NetResult CBackgroundCheckpoint::Wait() {
    if (!m_running.valid()) return {};
    return m_running.get();
}
