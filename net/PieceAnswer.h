#pragma once
// How the answer to one range's request is taken, when a file is fetched in several ranges at
// once. A pure judgement, like JudgeRangeAnswer for the first request of a download.

#include <cstdint>
#include <optional>
#include <string>

enum class PieceVerdict {
    Take,          // 206 with the bytes asked for: the body goes where it belongs
    IgnoresRange,  // the whole file again, unchanged: this host gets one connection only
    Changed,       // the server's file is not the one being written: every range is dropped
    AddressFault,  // this address serves another file or none: its work goes elsewhere
    Busy,          // 429 or 503: tried again later, with fewer connections to the host
    Retry,         // another passing failure (5xx, 408)
};

// Bytes [first, last] asked for, with If-Range carrying validator when one is known.
struct PieceAsk {
    std::uint64_t first = 0;
    std::uint64_t last = 0;
    std::optional<std::string> validator;
};

struct PieceAnswer {
    long status = 0;
    std::optional<std::string> contentRange;
    std::int64_t contentLength = -1;  // -1 without one
    std::optional<std::string> validator;
};

// fileSize: the whole file's size; sizeSigned: a signed reply vouches for it (then a size the
// answer contradicts is the address's fault, not a changed file).
PieceVerdict JudgePieceAnswer(const PieceAsk& ask, const PieceAnswer& answer,
                              std::uint64_t fileSize, bool sizeSigned);
