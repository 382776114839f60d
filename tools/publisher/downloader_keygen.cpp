// downloader-keygen [--id ID] FILE
// Makes a publisher's Ed25519 key pair: the secret key goes into FILE (created, mode 0600,
// never overwritten), the public key is printed as the DOWNLOADER_UPDATE_KEYS entry ID=BASE64,
// the only line on stdout. The secret key is never printed.
#include <glib.h>
#include <sodium.h>

#include <cstdio>
#include <string>

#include "download/SodiumReady.h"
#include "download/UpdateKeys.h"
#include "tools/publisher/CommandLine.h"
#include "tools/publisher/SecretKey.h"
#include "tools/publisher/SecretKeyFile.h"

namespace {
constexpr char kTool[] = "downloader-keygen";

// "k" and today's date (UTC) say when a key was made, which helps ordering rotations; four hex
// digits of the public key tell apart keys made on the same day. 14 characters.
std::string DefaultKeyId(const SecretKey& key) {
    GDateTime* now = g_date_time_new_now_utc();
    gchar* date = g_date_time_format(now, "%Y%m%d");
    g_date_time_unref(now);
    const OwnedText dateOwner(date);
    const auto publicKey = key.PublicKey();
    char hex[5];
    sodium_bin2hex(hex, sizeof hex, publicKey.data(), 2);
    return std::string("k") + date + "-" + hex;
}
}  // namespace

int main(int argc, char** argv) {
    gchar* id = nullptr;
    GOptionEntry entries[] = {
        {"id", 0, 0, G_OPTION_ARG_FILENAME, &id,
         "Key ID, 1 to 16 of A-Z a-z 0-9 _ - (default: k<YYYYMMDD>-<4 hex digits of the key>)",
         "ID"},
        {nullptr, 0, 0, G_OPTION_ARG_NONE, nullptr, nullptr, nullptr}};
    const OptionContext context(g_option_context_new("FILE"));
    g_option_context_set_summary(context.get(),
                                 "Writes a new secret signing key to FILE (mode 0600, never "
                                 "overwritten) and prints its public DOWNLOADER_UPDATE_KEYS "
                                 "entry, ID=BASE64.");
    g_option_context_add_main_entries(context.get(), entries, nullptr);
    GError* error = nullptr;
    const bool parsed = g_option_context_parse(context.get(), &argc, &argv, &error);
    const OwnedText idOwner(id);
    const OwnedError errorOwner(error);
    if (!parsed) return Fail(kTool, error->message, kExitUsage);
    if (argc != 2) return Fail(kTool, "give exactly one FILE", kExitUsage);
    if (id && !IsUpdateKeyId(id))
        return Fail(kTool, "the ID must be 1 to 16 of A-Z a-z 0-9 _ -", kExitUsage);
    if (!SodiumReady()) return Fail(kTool, "libsodium could not be initialised");

    SecretKey key;
    unsigned char publicKey[crypto_sign_PUBLICKEYBYTES];
    crypto_sign_keypair(publicKey, key.bytes.data());
    key.id = id ? std::string(id) : DefaultKeyId(key);
    const std::string path = argv[1];
    if (const std::string failure = WriteNewSecretKeyFile(path, key); !failure.empty())
        return Fail(kTool, failure);

    std::fprintf(stderr,
                 "%s: secret key '%s' written to %s (mode 0600). Keep it on the signing "
                 "machine only.\nPublic key entry for DOWNLOADER_UPDATE_KEYS:\n",
                 kTool, key.id.c_str(), path.c_str());
    std::printf("%s\n", PublicKeyEntry(key).c_str());
    return std::fflush(stdout) == 0 ? kExitDone : kExitFailed;
}
