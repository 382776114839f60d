#include "net/FailureText.h"

#include "base/Except.h"
#include "base/Format.h"
#include "base/ResString.h"
#include "base/StringTable.h"

namespace {
constexpr char kDownloadFunction[] = "CHttp::DownHttpFile";

std::string ProxyRefusalText(const NetResult& failure) {
    return "the proxy answered " + failure.Detail() +
           (failure.Status() == 407 ? " (the proxy refused its credentials)"
                                    : " (the proxy refused the tunnel)");
}

std::string FileInUseText(const std::string& destination) {
    return Format(LoadResString(IDS_FILE_IN_USE).c_str(), destination.c_str());
}

// The message of a failure that the server or the disk made, logged with where it was found;
// empty for the others.
std::string ReportedMessage(const NetResult& failure, const std::string& destination) {
    const std::string& url = failure.Url();
    switch (failure.Failure()) {
        case NetFailure::Connect:
            return LoadResString(IDS_CONNECT_FAILED);
        case NetFailure::NotFound:
            return Format(LoadResString(IDS_FILE_NOT_FOUND).c_str(), url.c_str());
        case NetFailure::Refused:
            return url + ":server answered " + failure.Detail();
        case NetFailure::ProxyRefused:
            return url + ":" + ProxyRefusalText(failure);
        case NetFailure::DigestMismatch:
            return url + ":sha256 mismatch";
        case NetFailure::TooLarge:
            return url + ":longer than the expected size";
        case NetFailure::Contradicted:
            return url + ":claims another size: " + failure.Detail();
        case NetFailure::Insecure:
            return url + ":" + failure.Detail();
        case NetFailure::MoveFailed:
            return FileInUseText(destination);
        default:
            return {};
    }
}
}  // namespace

FailureTexts DownloadFailureTexts(const NetResult& failure, const std::string& destination) {
    switch (failure.Failure()) {
        case NetFailure::BadUrl:
            return {LoadResString(IDS_BAD_URL), {}};
        case NetFailure::BadDigest:
            return {LoadResString(IDS_BAD_DIGEST), {}};
        case NetFailure::FileInUse:
            return {FileInUseText(destination), {}};
        case NetFailure::NoSpace: {
            std::string text =
                Format(LoadResString(IDS_DISK_FULL).c_str(), failure.Detail().c_str());
            return {text, text};
        }
        case NetFailure::FileError:
            return {failure.Detail(), {}};
        default:
            break;
    }
    const std::string message = ReportedMessage(failure, destination);
    // Failures of the connection leave no text: the partial file is resumed by the next try.
    if (message.empty()) return {};
    std::string report =
        Except(failure.File(), kDownloadFunction, failure.Line(), "%s", message.c_str()).GetText();
    return {report, report};
}

std::string UserTextFor(const NetResult& failure) {
    // A full disk is the one failure the user can mend alone: the text says how much is needed.
    if (failure.Failure() == NetFailure::NoSpace)
        return Format(LoadResString(IDS_DISK_FULL).c_str(), failure.Detail().c_str());
    if (failure.Failure() == NetFailure::ProxyRefused) return LoadResString(IDS_PROXY_REFUSED);
    return LoadResString(IDS_TRANSFER_FAILED);
}

std::string ExchangeLogText(const NetResult& failure, std::string_view what) {
    const std::string name(what);
    switch (failure.Failure()) {
        case NetFailure::Refused:
            return name + ": the server answered " + failure.Detail();
        case NetFailure::Insecure:
            return name + ": secure connection refused: " + failure.Detail();
        case NetFailure::ProxyRefused:
            return name + ": " + ProxyRefusalText(failure);
        default:
            return name + ": not received: " + failure.Detail();
    }
}
