#pragma once
// The partial file of a download: the first bytes of the remote file, kept across attempts.
// While open it is locked against a second writer (the lock belongs to this open file, so a
// second transfer in the same process is kept out too); readers are not kept out.

#include <cstddef>
#include <cstdint>
#include <string>

#include "net/Sha256.h"
#include "platform/UniqueFd.h"

class CPartialFile {
  public:
    // Opens path for writing at its end, created when absent and its contents kept; false when
    // it cannot be opened or another writer holds it.
    bool Open(const std::string& path);
    // The file's length. Throws CFileException.
    std::uint64_t Length() const;
    // Writes all of data at the end. Throws CFileException; what was written stays.
    void Append(const char* data, std::size_t size);
    // Empties the file, to be filled again from its first byte. Throws CFileException.
    void Restart();
    // Feeds the bytes already in the file to sha. Throws CFileException.
    void FeedExisting(CSha256& sha) const;
    void Close() { m_fd.Reset(); }
    bool IsOpen() const { return static_cast<bool>(m_fd); }

  private:
    UniqueFd m_fd;
    std::string m_path;
};
