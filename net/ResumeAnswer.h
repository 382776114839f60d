#pragma once
// How the answer to a download request is taken, given how many bytes the partial file
// already holds (and so which Range was asked for).

#include <cstdint>
#include <optional>
#include <string>

enum class ResumeAction {
    Append,           // the body continues the partial file at its end
    Restart,          // the body is the file from its first byte: the partial starts again
    AlreadyComplete,  // nothing left to send: the partial file holds the whole file
    Refuse,           // not the file: nothing of the body may reach the partial file
};

// status: the response's status; offset: the partial file's length; contentRange: the
// response's Content-Range header, if any.
ResumeAction DecideResume(long status, std::uint64_t offset,
                          const std::optional<std::string>& contentRange);

// The first byte position of a Content-Range value "bytes first-last/total".
std::optional<std::uint64_t> ContentRangeFirst(const std::string& value);
// The total of a Content-Range value "bytes first-last/total"; none when it is "*".
std::optional<std::uint64_t> ContentRangeTotal(const std::string& value);
// The total of an unsatisfied-range value "bytes */total".
std::optional<std::uint64_t> UnsatisfiedRangeTotal(const std::string& value);
