#pragma once
// Bounds on the update-information reply, shared by the exchange that reads it and the checks.

#include <cstddef>
#include <cstdint>

// The largest reply body accepted. Real replies are a few hundred bytes; a longer body is
// refused unread, so a reader may stop after kMaxUpdateReplyBytes + 1 bytes.
inline constexpr std::size_t kMaxUpdateReplyBytes = std::size_t{1} << 20;

// How far the user's clock may run ahead of the publisher's: a reply counts until
// "expires" + kUpdateClockSkewSeconds.
inline constexpr std::int64_t kUpdateClockSkewSeconds = 300;
