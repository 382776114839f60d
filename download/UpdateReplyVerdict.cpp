#include "download/UpdateReplyVerdict.h"

#include "base/ResString.h"
#include "base/StringTable.h"

std::string UserTextFor(UpdateReplyKind kind) {
    switch (kind) {
        case UpdateReplyKind::Ok:
            return {};
        case UpdateReplyKind::Expired:
        case UpdateReplyKind::ExpiresTooLate:
            // Most often the machine's clock is wrong: the publisher signs no reply that counts
            // longer, so one that seems to is seen from a clock running far behind.
            return LoadResString(IDS_UPDATE_EXPIRED);
        default:
            return LoadResString(IDS_UPDATE_CHECK_FAILED);
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
        case UpdateReplyKind::ExpiresTooLate:
            return "ExpiresTooLate";
        case UpdateReplyKind::WrongProduct:
            return "WrongProduct";
        case UpdateReplyKind::WrongChannel:
            return "WrongChannel";
        case UpdateReplyKind::RolledBack:
            return "RolledBack";
    }
    return "Unknown";
}
