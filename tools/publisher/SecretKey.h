#pragma once
// A publisher's Ed25519 secret key in memory: wiped when it goes, never copied.

#include <sodium.h>

#include <array>
#include <string>

struct SecretKey {
    SecretKey() = default;
    ~SecretKey() { sodium_memzero(bytes.data(), bytes.size()); }
    SecretKey(const SecretKey&) = delete;
    SecretKey& operator=(const SecretKey&) = delete;

    std::string id;
    // libsodium's form: the 32-byte seed followed by the 32-byte public key.
    std::array<unsigned char, crypto_sign_SECRETKEYBYTES> bytes{};

    std::array<unsigned char, crypto_sign_PUBLICKEYBYTES> PublicKey() const {
        std::array<unsigned char, crypto_sign_PUBLICKEYBYTES> publicKey{};
        crypto_sign_ed25519_sk_to_pk(publicKey.data(), bytes.data());
        return publicKey;
    }
};

// The key's public half as a DOWNLOADER_UPDATE_KEYS entry: ID=BASE64.
inline std::string PublicKeyEntry(const SecretKey& key) {
    const auto publicKey = key.PublicKey();
    char base64[sodium_base64_ENCODED_LEN(crypto_sign_PUBLICKEYBYTES,
                                          sodium_base64_VARIANT_ORIGINAL)];
    sodium_bin2base64(base64, sizeof base64, publicKey.data(), publicKey.size(),
                      sodium_base64_VARIANT_ORIGINAL);
    return key.id + "=" + base64;
}
