#include "download/UpdateReplyVerdict.h"

#include "download/UpdateTrustTexts.h"

std::string_view UserTextFor(UpdateReplyKind kind) {
    switch (kind) {
        case UpdateReplyKind::Ok:
            return {};
        case UpdateReplyKind::Expired:
            return kUpdateExpiredText;
        default:
            return kUpdateCheckFailedText;
    }
}

std::string_view KindName(UpdateReplyKind kind) {
    switch (kind) {
        case UpdateReplyKind::Ok:
            return "Ok";
        case UpdateReplyKind::NotSigned:
            return "NotSigned";
        case UpdateReplyKind::BadSignature:
            return "BadSignature";
        case UpdateReplyKind::TooLarge:
            return "TooLarge";
        case UpdateReplyKind::Malformed:
            return "Malformed";
        case UpdateReplyKind::Expired:
            return "Expired";
        case UpdateReplyKind::WrongChannel:
            return "WrongChannel";
        case UpdateReplyKind::RolledBack:
            return "RolledBack";
    }
    return "Unknown";
}
