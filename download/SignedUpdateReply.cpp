#include "download/SignedUpdateReply.h"

#include <string>

#include "download/UpdateSignature.h"

UpdateReplyVerdict VerifyUpdateReply(std::string_view body,
                                     std::optional<std::string_view> signatureHeader,
                                     const UpdateReplyExpectation& expect,
                                     std::span<const UpdateKey> keys) {
    if (body.size() > kMaxUpdateReplyBytes)
        return {UpdateReplyKind::TooLarge,
                "update reply: " + std::to_string(body.size()) + " bytes, more than the " +
                    std::to_string(kMaxUpdateReplyBytes) + " allowed",
                std::nullopt};
    if (!signatureHeader)
        return {UpdateReplyKind::NotSigned, "update reply: no X-Update-Signature header",
                std::nullopt};
    SignatureCheck signature = CheckUpdateSignature(*signatureHeader, body, keys);
    if (!signature.verified)
        return {UpdateReplyKind::BadSignature, std::move(signature.logText), std::nullopt};

    UpdateReplyVerdict verdict = CheckUpdateDocument(body, expect);
    if (verdict.update) verdict.update->keyId = std::move(signature.keyId);
    return verdict;
}
