#pragma once
// The note kept beside a partial file (its path + ".meta"): which file the partial is meant to
// become, what each server said identifies its copy (a strong ETag, else a Last-Modified
// date), and how many of the partial's bytes are known to be on disk. Without it a partial is
// a heap of bytes of unknown origin; with it a resume can ask the server "only if it is still
// the same file" (If-Range) and a power loss cannot leave unwritten garbage inside.
//
// A small line-based text, replaced atomically (written beside, synced, renamed), so a reader
// sees the old note or the new one, never a mix.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "net/NetResult.h"

// What a download is meant to produce.
struct DownloadTarget {
    std::string mainUrl;     // the installer's own address (mirrors hold the same file)
    std::string sha256;      // 64 hex digits when the update information gives them, else empty
    std::uint64_t size = 0;  // the installer's size when known beforehand, else 0
    std::vector<std::string> mirrors = {};  // further addresses of the same file
};

struct ResumeRecord {
    std::string sha256;
    std::uint64_t size = 0;  // 0 while no answer has told the total
    std::string url;
    std::uint64_t synced = 0;  // bytes at the start of the partial that were synced to disk
    // host:port -> "etag <value>" or "date <value>"
    std::map<std::string, std::string> validators;

    // Whether a partial described by this record can become target: the same digest when
    // both know one, otherwise the same main address, and no disagreement on the size.
    bool IsFor(const DownloadTarget& target) const;
    // A fresh record for target: nothing synced, no validators.
    static ResumeRecord For(const DownloadTarget& target);

    // How host named its copy ("etag …" or "date …"), if it did.
    std::optional<std::string> ValidatorFor(const std::string& host) const;

    bool operator==(const ResumeRecord&) const = default;
};

// The record's path beside a partial or complete file.
std::string ResumeRecordPath(const std::string& filePath);

// The record at path; nothing when it is absent or unreadable (then the partial is treated as
// left by an earlier program without records). A record is written with a check of its own
// content; when damaged is given it tells a record that fails it, or is not what this program
// writes, from an absent one (or one of an earlier program, written without a check).
std::optional<ResumeRecord> LoadResumeRecord(const std::string& path, bool* damaged = nullptr);
NetResult SaveResumeRecord(const std::string& path, const ResumeRecord& record);

// The validator an answer's headers offer: "etag <value>" for a strong ETag, else
// "date <value>" for a Last-Modified date; nothing without either or for unsafe text.
std::optional<std::string> ValidatorOf(const std::optional<std::string>& etag,
                                       const std::optional<std::string>& lastModified);
// The validator of an answer to a request sent with `sent` as If-Range: of the same kind, so
// that a server which adds an ETag to its dates is not taken for one whose file changed.
std::optional<std::string> AnswerValidator(const std::optional<std::string>& etag,
                                           const std::optional<std::string>& lastModified,
                                           const std::optional<std::string>& sent);
