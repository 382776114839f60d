// verify_reply ID=BASE64 HEADER-VALUE REPLY-FILE PRODUCT CHANNEL
// Checks a reply file as the program would, with the one key given as a DOWNLOADER_UPDATE_KEYS
// entry; prints the verdict's kind and log text. Exit 0 when the reply is accepted.
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>

#include "download/SignedUpdateReply.h"

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(stderr,
                     "usage: verify_reply ID=BASE64 HEADER-VALUE REPLY-FILE PRODUCT CHANNEL\n");
        return 2;
    }
    const std::string entry = argv[1];
    const std::size_t equals = entry.find('=');
    const UpdateKeyText text{std::string_view(entry).substr(0, equals),
                             std::string_view(entry).substr(equals + 1)};
    const auto keys = DecodeUpdateKeys({&text, 1});
    std::ifstream in(argv[3], std::ios::binary);
    const std::string body(std::istreambuf_iterator<char>(in), {});
    const UpdateReplyVerdict verdict = VerifyUpdateReply(
        body, std::string_view(argv[2]), {argv[4], argv[5], std::time(nullptr), ""}, keys);
    std::printf("%s %s\n", std::string(KindName(verdict.kind)).c_str(), verdict.logText.c_str());
    return verdict.kind == UpdateReplyKind::Ok ? 0 : 1;
}
