#include "net/BackgroundCheckpoint.h"

#include <unistd.h>

#include <utility>

CBackgroundCheckpoint::CBackgroundCheckpoint(const CPartialFile& partial, std::string recordPath,
                                             std::string extentsPath)
    : m_partial(partial),
      m_recordPath(std::move(recordPath)),
      m_extentsPath(std::move(extentsPath)) {}

NetResult CBackgroundCheckpoint::Start(const ResumeRecord& record,
                                       std::optional<ExtentsNote> extents) {
    if (NetResult before = Wait(); !before.Ok()) return before;
    m_running = std::async(std::launch::async, [this, record, extents = std::move(extents)] {
        // The record never claims bytes that a power loss could still take away.
        if (NetResult synced = m_partial.SyncWritten(); !synced.Ok()) return synced;
        if (extents) {
            if (NetResult noted = SaveExtentsNote(m_extentsPath, *extents); !noted.Ok())
                return noted;
        } else if (!m_extentsPath.empty()) {
            ::unlink(m_extentsPath.c_str());
        }
        return SaveResumeRecord(m_recordPath, record);
    });
    return {};
}

NetResult CBackgroundCheckpoint::Wait() {
    if (!m_running.valid()) return {};
    return m_running.get();
}
