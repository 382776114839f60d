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

// The longest a reply may count: "expires" at most this far ahead of the clock (clock
// difference allowed for). A reply that counted longer could be replayed long after its
// installer was withdrawn; the publisher's tool signs none.
inline constexpr std::int64_t kMaxUpdateReplyDays = 366;
inline constexpr std::int64_t kMaxUpdateReplyLifetimeSeconds = kMaxUpdateReplyDays * 24 * 60 * 60;
