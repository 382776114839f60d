#pragma once
// The partial file of a download: the first bytes of the remote file, kept across attempts.
// While open it is locked against a second writer (the lock belongs to this open file, so a
// second transfer in the same process is kept out too); readers are not kept out.
//
// Blocks are received straight into a write buffer and reach the file a quarter MiB at a time
// rather than one small block per system call; Flush and Close write out what is held.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "net/Sha256.h"
#include "platform/UniqueFd.h"

class CPartialFile {
  public:
    CPartialFile();
    ~CPartialFile() { Close(); }
    CPartialFile(const CPartialFile&) = delete;
    CPartialFile& operator=(const CPartialFile&) = delete;

    // Opens path for writing at its end, created when absent and its contents kept; false when
    // it cannot be opened or another writer holds it.
    bool Open(const std::string& path);
    // The file's length. Throws CFileException.
    std::uint64_t Length() const;

    // Room for the next block of at most size bytes (at most the buffer's size), after writing
    // out what is held when that is needed. Throws CFileException.
    char* NextBlock(std::size_t size);
    // The block handed out last now holds size bytes.
    void CommitBlock(std::size_t size) { m_held += size; }
    // Writes out everything held. Throws CFileException; what was written stays.
    void Flush();

    // Empties the file, to be filled again from its first byte. Throws CFileException.
    void Restart();
    // Feeds the bytes already in the file to sha. Throws CFileException.
    void FeedExisting(CSha256& sha) const;
    // Writes out what is held as far as it can, then closes the file.
    void Close();

  private:
    UniqueFd m_fd;
    std::string m_path;
    std::unique_ptr<char[]> m_buffer;
    std::size_t m_held = 0;
};
