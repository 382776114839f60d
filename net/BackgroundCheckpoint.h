#pragma once
// Checkpoints of a transfer made on a thread of their own: the partial's written bytes are
// synced to the disk, then its record says how many are safe. A sync of many megabytes can
// take tens of milliseconds; the receiving thread goes on meanwhile.
//
// At most one checkpoint is in progress; the next one starts only after it has ended (Start
// waits for it), so the record on disk only ever grows towards what is on the disk.

#include <future>
#include <optional>
#include <string>

#include "net/ExtentsNote.h"
#include "net/NetResult.h"
#include "net/PartialFile.h"
#include "net/ResumeRecord.h"

class CBackgroundCheckpoint {
  public:
    // partial must outlive this; its record lives at recordPath (and the note of its done
    // extents, for a partial written in ranges, at extentsPath).
    CBackgroundCheckpoint(const CPartialFile& partial, std::string recordPath,
                          std::string extentsPath = {});
    // Waits for the checkpoint in progress.
    ~CBackgroundCheckpoint() { static_cast<void>(Wait()); }
    CBackgroundCheckpoint(const CBackgroundCheckpoint&) = delete;
    CBackgroundCheckpoint& operator=(const CBackgroundCheckpoint&) = delete;

    // Starts making record true on disk once the checkpoint before has ended: its synced bytes
    // must have been written already. Gives the failure of the checkpoint before, if it
    // failed; then nothing is started. With an extents path, the extents are noted before the
    // record, or without them any note is removed first: no note is ever older than its record.
    NetResult Start(const ResumeRecord& record, std::optional<ExtentsNote> extents = {});
    // Waits for the checkpoint in progress, if any, and gives its result.
    NetResult Wait();

  private:
    const CPartialFile& m_partial;
    std::string m_recordPath;
    std::string m_extentsPath;
    std::future<NetResult> m_running;
};
