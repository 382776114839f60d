#include "download/UpdateKeys.h"

#include <glib.h>
#include <sodium.h>

#include <algorithm>

namespace {
UpdateKey DecodeUpdateKey(const UpdateKeyText& text) {
    UpdateKey key;
    key.id = std::string(text.id);
    std::size_t length = 0;
    const char* end = nullptr;
    // libsodium's decoder refuses padding bits that are not zero, so each key has exactly one
    // accepted spelling; `end` shows whether it stopped before the end of the text.
    const bool decoded = sodium_base642bin(key.publicKey.data(), key.publicKey.size(),
                                           text.base64.data(), text.base64.size(), nullptr, &length,
                                           &end, sodium_base64_VARIANT_ORIGINAL) == 0 &&
                         length == kUpdateKeyBytes &&
                         end == text.base64.data() + text.base64.size();
    key.usable = decoded && IsUpdateKeyId(key.id);
    if (!key.usable) key.publicKey.fill(0);
    return key;
}
}  // namespace

bool IsUpdateKeyId(std::string_view id) {
    return !id.empty() && id.size() <= kMaxUpdateKeyIdLength &&
           std::all_of(id.begin(), id.end(),
                       [](char c) { return g_ascii_isalnum(c) || c == '_' || c == '-'; });
}

std::vector<UpdateKey> DecodeUpdateKeys(std::span<const UpdateKeyText> texts) {
    std::vector<UpdateKey> keys;
    keys.reserve(texts.size());
    for (const UpdateKeyText& text : texts) keys.push_back(DecodeUpdateKey(text));
    return keys;
}

std::span<const UpdateKey> CompiledUpdateKeys() {
    // The build's constant, decoded once; thread-safe as a function-local static.
    static const std::vector<UpdateKey> keys = DecodeUpdateKeys(CompiledUpdateKeyTexts());
    return keys;
}

bool SignedMode(std::span<const UpdateKey> keys) {
    return !keys.empty();
}
