// e2e-sign-unchecked KEY REPLY: prints the X-Update-Signature value of REPLY exactly as it is,
// without the checks downloader-sign makes first. The end-to-end tests need replies the
// publisher's tool rightly refuses to sign, such as one that expired long ago, to replay them.

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "tools/publisher/ReplySigner.h"
#include "tools/publisher/SecretKeyFile.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: e2e-sign-unchecked KEY REPLY\n");
        return 2;
    }
    SecretKey key;
    if (const std::string error = ReadSecretKeyFile(argv[1], key); !error.empty()) {
        std::fprintf(stderr, "e2e-sign-unchecked: %s\n", error.c_str());
        return 1;
    }
    std::ifstream reply(argv[2], std::ios::binary);
    const std::string body((std::istreambuf_iterator<char>(reply)),
                           std::istreambuf_iterator<char>());
    if (!reply.good() && !reply.eof()) return 1;
    std::printf("%s\n", FormatSignaturePair(SignReply(key, body)).c_str());
    return 0;
}
