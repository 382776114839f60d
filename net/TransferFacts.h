#pragma once
// What the last download attempt ran into, in the terms a retry decision needs: the HTTP
// status, a proxy's answer to CONNECT, the transfer library's code, a Retry-After request,
// and how many bytes of the file are safely on disk afterwards (so progress can be told).

#include <cstdint>
#include <optional>

#include "net/NetResult.h"

struct TransferFacts {
    NetFailure failure = NetFailure::None;
    long status = 0;         // status of the last answer; 0 without one
    long connectStatus = 0;  // a proxy's answer to CONNECT; 0 without a tunnel
    int curlCode = 0;        // CURLcode of a failed transfer; 0 (CURLE_OK) otherwise
    bool stalled = false;    // nothing arrived for the stall time
    std::optional<long> retryAfterSeconds;
    std::uint64_t bytesOnDisk = 0;  // the partial's length known good after the attempt
};
