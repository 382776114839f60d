#include "net/ResumeRecord.h"

#include <sstream>
#include <string_view>

#include "net/NoteText.h"
#include "net/Sha256.h"

namespace {
constexpr char kMagic[] = "downloader-partial 1";
constexpr std::size_t kMaxRecordBytes = 64 * 1024;

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}
}  // namespace

bool ResumeRecord::IsFor(const DownloadTarget& target) const {
    // Two digests decide alone; otherwise the address does (a digest given only now is still
    // checked once the file is whole).
    if (!sha256.empty() && !target.sha256.empty()) {
        if (!SameDigest(sha256, target.sha256)) return false;
    } else if (url != target.mainUrl) {
        return false;
    }
    return size == 0 || target.size == 0 || size == target.size;
}

ResumeRecord ResumeRecord::For(const DownloadTarget& target) {
    ResumeRecord record;
    record.sha256 = target.sha256;
    record.size = target.size;
    record.url = target.mainUrl;
    return record;
}

std::optional<std::string> ResumeRecord::ValidatorFor(const std::string& host) const {
    auto found = validators.find(host);
    if (found == validators.end()) return std::nullopt;
    return found->second;
}

std::string ResumeRecordPath(const std::string& filePath) {
    return filePath + ".meta";
}

namespace {
std::optional<ResumeRecord> RecordIn(std::istringstream& lines) {
    std::string line;
    ResumeRecord record;
    bool sawSynced = false;
    while (std::getline(lines, line)) {
        std::string_view rest = line;
        const std::string_view key = rest.substr(0, rest.find(' '));
        rest = key.size() < rest.size() ? rest.substr(key.size() + 1) : std::string_view{};
        if (key == "sha256") {
            if (!IsSha256Hex(std::string(rest))) return std::nullopt;
            record.sha256 = rest;
        } else if (key == "size" || key == "synced") {
            auto n = NoteNumber(rest);
            if (!n) return std::nullopt;
            (key == "size" ? record.size : record.synced) = *n;
            sawSynced = sawSynced || key == "synced";
        } else if (key == "url") {
            if (!IsNoteLineSafe(rest)) return std::nullopt;
            record.url = rest;
        } else if (key == "validator") {
            const std::string_view host = rest.substr(0, rest.find(' '));
            const std::string_view value =
                host.size() < rest.size() ? rest.substr(host.size() + 1) : std::string_view{};
            const bool known = value.substr(0, 5) == "etag " || value.substr(0, 5) == "date ";
            if (host.empty() || !known || !IsNoteLineSafe(value)) return std::nullopt;
            record.validators[std::string(host)] = value;
        } else if (!key.empty()) {
            return std::nullopt;
        }
    }
    if (!sawSynced) return std::nullopt;
    return record;
}
}  // namespace

std::optional<ResumeRecord> LoadResumeRecord(const std::string& path, bool* damaged) {
    NoteLines note = ReadNote(path, kMaxRecordBytes, kMagic);
    std::optional<ResumeRecord> record;
    if (note.state == NoteLines::State::Good) record = RecordIn(note.lines);
    if (damaged)
        *damaged = note.state == NoteLines::State::Damaged ||
                   (note.state == NoteLines::State::Good && !record);
    return record;
}

NetResult SaveResumeRecord(const std::string& path, const ResumeRecord& record) {
    std::string text = std::string(kMagic) + "\n";
    if (!record.sha256.empty()) text += "sha256 " + record.sha256 + "\n";
    if (record.size) text += "size " + std::to_string(record.size) + "\n";
    if (IsNoteLineSafe(record.url)) text += "url " + record.url + "\n";
    text += "synced " + std::to_string(record.synced) + "\n";
    for (const auto& [host, value] : record.validators)
        if (IsNoteLineSafe(host) && host.find(' ') == std::string::npos && IsNoteLineSafe(value))
            text += "validator " + host + " " + value + "\n";

    return SaveCheckedNote(path, text);
}

std::optional<std::string> AnswerValidator(const std::optional<std::string>& etag,
                                           const std::optional<std::string>& lastModified,
                                           const std::optional<std::string>& sent) {
    if (sent && sent->rfind("date ", 0) == 0) return ValidatorOf(std::nullopt, lastModified);
    return ValidatorOf(etag, lastModified);
}

std::optional<std::string> ValidatorOf(const std::optional<std::string>& etag,
                                       const std::optional<std::string>& lastModified) {
    // A weak ETag may stay the same while bytes change: it cannot vouch for a byte range.
    if (etag) {
        const std::string_view value = Trimmed(*etag);
        if (value.substr(0, 2) != "W/" && IsNoteLineSafe(value))
            return "etag " + std::string(value);
    }
    if (lastModified) {
        const std::string_view value = Trimmed(*lastModified);
        if (IsNoteLineSafe(value)) return "date " + std::string(value);
    }
    return std::nullopt;
}
