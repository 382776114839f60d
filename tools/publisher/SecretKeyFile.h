#pragma once
// The secret key file the publisher's tools share. One line of text:
//   downloader-secret-key-v1 ID BASE64
// where BASE64 is the standard base64 of libsodium's 64-byte Ed25519 secret key (seed, then
// public key). The file is created with mode 0600 and never overwritten.

#include <string>

#include "tools/publisher/SecretKey.h"

inline constexpr char kSecretKeyFileTag[] = "downloader-secret-key-v1";

// Creates path (O_CREAT|O_EXCL: an existing file, or a link in its place, is left alone) and
// writes key into it. An error text, empty on success; a half-written file is removed.
std::string WriteNewSecretKeyFile(const std::string& path, const SecretKey& key);

// Reads path into key, checking the tag, the ID and that the public half belongs to the seed
// (a damaged file must not sign with a key nobody can verify). An error text, empty on success.
std::string ReadSecretKeyFile(const std::string& path, SecretKey& key);
