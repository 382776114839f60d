#pragma once
// The partial file of a download: the first bytes of the remote file, kept across attempts.
// While open it is locked against a second writer (the lock belongs to this open file, so a
// second transfer in the same process is kept out too); readers are not kept out.
//
// Blocks are received straight into a write buffer and reach the file a quarter MiB at a time
// rather than one small block per system call; Flush and Close write out what is held.
// On request it keeps the SHA-256 of its whole contents, on a thread of its own.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "base/UniqueFd.h"
#include "net/BackgroundDigest.h"
#include "net/NetResult.h"

class CPartialFile {
  public:
    CPartialFile();
    ~CPartialFile() { Close(); }
    CPartialFile(const CPartialFile&) = delete;
    CPartialFile& operator=(const CPartialFile&) = delete;

    // Opens path for writing at its end, created when absent and its contents kept; false when
    // it cannot be opened or another writer holds it.
    bool Open(const std::string& path);
    // The file's length. File errors fail with FileError and the system's description.
    NetResult Length(std::uint64_t& length) const;

    // Room for the next block of at most size bytes (at most the buffer's size), after writing
    // out what is held when that is needed.
    NetResult NextBlock(std::size_t size, char*& block);
    // The block handed out last now holds size bytes.
    void CommitBlock(std::size_t size) { m_held += size; }
    // Writes out everything held; after a failure what was written stays.
    NetResult Flush();

    // Empties the file, to be filled again from its first byte.
    NetResult Restart();
    // Cuts the file back to its first length bytes (those known to have reached the disk).
    NetResult CutBack(std::uint64_t length);
    // Writes out what is held and waits until the file's data is on the disk.
    NetResult Sync();
    // Waits until what was written (not what is held) is on the disk. Safe on another thread
    // while this one goes on writing: what was written before the call is covered.
    NetResult SyncWritten() const;
    // Writes size bytes at offset, past whatever is held (ranges of a file write where their
    // bytes belong, each through a buffer of its own). After a failure what was written stays.
    NetResult WriteAt(std::uint64_t offset, const char* data, std::size_t size) const;
    // Reads size bytes from offset into bytes; fewer only at the file's end.
    NetResult ReadAt(std::uint64_t offset, std::size_t size, std::string& bytes) const;
    // From now on keeps the digest of the file: the bytes already in it, then every byte
    // written, also across Restart and CutBack.
    NetResult StartDigest();
    // Writes out what is held and gives the digest of the whole file; empty when StartDigest
    // was not called.
    NetResult Digest(std::string& hex);
    // Writes out what is held as far as it can, then closes the file.
    void Close();

  private:
    NetResult FileError(int error) const;

    UniqueFd m_fd;
    std::string m_path;
    std::unique_ptr<char[]> m_buffer;
    std::size_t m_held = 0;
    std::unique_ptr<CBackgroundDigest> m_digest;
};
