#pragma once
// The partial file of a download: the bytes of the remote file received so far, each where it
// belongs. One range written from the first byte leaves a prefix; several ranges at once leave
// holes between their extents (ExtentsNote.h says which are done). It is kept across attempts.
// While open it is locked against a second writer (the lock belongs to this open file, so a
// second transfer in the same process is kept out too); readers are not kept out.

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/UniqueFd.h"
#include "net/NetResult.h"

class CPartialFile {
  public:
    CPartialFile() = default;
    CPartialFile(const CPartialFile&) = delete;
    CPartialFile& operator=(const CPartialFile&) = delete;

    // Opens path for writing, created when absent and its contents kept; false when it cannot
    // be opened or another writer holds it. It is opened only as a regular file, never through
    // a link: whatever else stands at the name is removed first (a folder only when empty),
    // and cleared says what it was.
    bool Open(const std::string& path, std::string& cleared);
    // The file's length. File errors fail with FileError and the system's description.
    NetResult Length(std::uint64_t& length) const;

    // Empties the file, to be filled again from its first byte.
    NetResult Restart();
    // Cuts the file back to its first length bytes (those known to have reached the disk).
    NetResult CutBack(std::uint64_t length);
    // Waits until what was written is on the disk. Safe on another thread while this one goes
    // on writing: what was written before the call is covered.
    NetResult SyncWritten() const;
    // Writes size bytes at offset (each range of a file writes where its bytes belong, through
    // a buffer of its own). After a failure what was written stays.
    NetResult WriteAt(std::uint64_t offset, const char* data, std::size_t size) const;
    // Reads size bytes from offset into bytes; fewer only at the file's end.
    NetResult ReadAt(std::uint64_t offset, std::size_t size, std::string& bytes) const;
    // Whether the name path still stands for this very file (nothing was put in its place).
    bool StillAt(const std::string& path) const;
    void Close() { m_fd.Reset(); }

  private:
    NetResult FileError(int error) const;

    UniqueFd m_fd;
    std::string m_path;
};
