#pragma once
// libsodium's one-time set-up, done before its first use.

#include <sodium.h>

// Whether libsodium is usable. sodium_init() is thread-safe and answers 1 once it has run.
inline bool SodiumReady() {
    static const bool ready = sodium_init() >= 0;
    return ready;
}
