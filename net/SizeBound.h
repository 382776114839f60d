#pragma once
// The bound a download is held to when the size of the file is known in advance: bytes past
// it cannot belong to the file, so the transfer stops at the first block that crosses it.

#include <cstdint>
#include <optional>
#include <string>

#include "net/NetResult.h"

// Success while presentBytes (the partial file's length) is within expectedSize, or when no
// size is expected; TooLarge naming url otherwise.
NetResult CheckSizeBound(std::uint64_t presentBytes, std::optional<std::uint64_t> expectedSize,
                         const std::string& url);
