// Feeds arbitrary signature headers and reply documents to the checks of signed update
// information: no crash, abort or exception on any input, and an accepted document always has
// the members in the form the rest of the program relies on. The input's first line is the
// header, the rest the document; signatures never verify here, so the document is also
// checked on its own, as if it had.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "download/SignedUpdateReply.h"
#include "download/UpdateSignatureHeader.h"
#include "net/HttpAddress.h"

namespace {
void Require(bool condition) {
    if (!condition) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t lineEnd = input.find('\n');
    const std::string_view header = input.substr(0, lineEnd);
    const std::string_view body =
        lineEnd == std::string_view::npos ? std::string_view() : input.substr(lineEnd + 1);

    if (const auto pairs = ParseSignatureHeader(header))
        Require(!pairs->empty() && pairs->size() <= kMaxSignaturePairs);
    UpdateKey key;
    key.id = "k1";
    key.usable = true;
    const UpdateReplyExpectation expect{"velmora", "stable", 1'700'000'000, "2.0"};
    Require(VerifyUpdateReply(body, header, expect, {&key, 1}).kind != UpdateReplyKind::Ok);

    const UpdateReplyVerdict verdict = CheckUpdateDocument(body, expect);
    Require(verdict.update.has_value() == (verdict.kind == UpdateReplyKind::Ok));
    if (verdict.update) {
        Require(IsHttpAddress(verdict.update->url));
        Require(verdict.update->size > 0 && verdict.update->size < (std::uint64_t{1} << 63));
        Require(verdict.update->sha256.size() == 64);
        Require(verdict.update->expires > expect.now - kUpdateClockSkewSeconds);
        Require(verdict.update->expires - expect.now <=
                kMaxUpdateReplyLifetimeSeconds + kUpdateClockSkewSeconds);
        Require(verdict.update->document["product"] == expect.product);
        for (const auto& mirror : verdict.update->mirrors) Require(IsHttpAddress(mirror));
    } else {
        Require(!verdict.logText.empty());
    }
    return 0;
}
