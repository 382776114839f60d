// Step 4 of a download: the answer's body into the partial file, a block at a time, reported
// to the sink, with a checkpoint (data synced, then the record says how much is safe) about
// once a second. Whatever ends it, the record then says how much is on disk.

#include <cstdio>

#include "net/BackgroundCheckpoint.h"
#include "net/CheckpointDue.h"
#include "net/DownloadSteps.h"
#include "net/Http.h"
#include "net/PartialFile.h"
#include "net/SizeBound.h"
#include "net/SpeedClock.h"
#include "net/TransferSink.h"

namespace {
constexpr std::size_t kBlockBytes = 4096;

// Whatever ended the transfer, the record says how much is on disk: after a failed write that
// is less than was received, after a failed checkpoint it is written again.
NetResult SettleRecord(CPartialFile& partial, CBackgroundCheckpoint& checkpoint,
                       std::uint64_t present, const std::string& recordPath, ResumeRecord& record) {
    const NetResult checkpointed = checkpoint.Wait();
    const NetResult synced = partial.Sync();
    std::uint64_t onDisk = 0;
    if (partial.Length(onDisk).Ok() && synced.Ok() &&
        (std::min(onDisk, present) != record.synced || !checkpointed.Ok())) {
        record.synced = std::min(onDisk, present);
        static_cast<void>(SaveResumeRecord(recordPath, record));
    }
    if (!checkpointed.Ok()) return checkpointed;
    return synced;
}
}  // namespace

NetResult CHttp::Transfer(const DownloadJob& job, const ByteExtent& extent, CPartialFile& partial,
                          ResumeRecord& record, Received& got) {
    // An empty extent (a copy the server calls complete) has no body to read.
    got = Received{extent.start, 0, extent.end == extent.start};
    CBackgroundCheckpoint checkpoint(partial, job.recordPath);
    NetResult transfer;
    if (!got.bodyEnded) transfer = ReceiveBody(job, extent, partial, checkpoint, record, got);
    // Bytes past the extent are not the file: none of them is kept, and the next try starts
    // afresh.
    if (transfer.Failure() == NetFailure::TooLarge) {
        std::remove(job.partialPath.c_str());
        std::remove(job.recordPath.c_str());
        record.synced = 0;
        return transfer;
    }
    const NetResult settled =
        SettleRecord(partial, checkpoint, got.present, job.recordPath, record);
    return transfer.Ok() ? settled : transfer;
}

NetResult CHttp::ReceiveBody(const DownloadJob& job, const ByteExtent& extent,
                             CPartialFile& partial, CBackgroundCheckpoint& checkpoint,
                             ResumeRecord& record, Received& got) {
    CSpeedClock clock;
    CCheckpointDue due(got.present);
    std::size_t last = 0;
    NetResult transfer;
    while (m_stopFlag.load(std::memory_order_relaxed) == 0 && m_bStop == 0) {
        // Each block is received straight into the partial file's write buffer.
        char* block = nullptr;
        if (transfer = partial.NextBlock(kBlockBytes, block); !transfer.Ok()) break;
        transfer = m_pHttpFile->Read(block, kBlockBytes, last);
        if (last > 0) {
            partial.CommitBlock(last);
            got.received += last;
            got.present += last;
            if (job.sink) job.sink->OnBlockWritten(got.present, m_nTotalSize);
            if (auto speed = clock.AverageKiBPerSecond(got.received); speed && job.sink)
                job.sink->OnAverageSpeed(*speed);
            if (NetResult r = CheckSizeBound(got.present, extent.end, job.url); !r.Ok()) return r;
        }
        // What arrived before a failure stays in the partial file for the next attempt.
        if (!transfer.Ok() || last == 0) break;
        // When due, the bytes go to the file at once (a stall may follow); the checkpoint
        // waits only for one before it that the disk has not finished yet.
        if (due.Now(got.present)) {
            if (transfer = partial.Flush(); !transfer.Ok()) break;
            record.synced = got.present;
            if (transfer = checkpoint.Start(record); !transfer.Ok()) break;
        }
    }
    got.bodyEnded = transfer.Ok() && last == 0 && m_pHttpFile->BodyComplete();
    return transfer;
}
