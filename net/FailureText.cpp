#include "net/FailureText.h"

#include "base/Except.h"
#include "base/Format.h"
#include "base/ResString.h"
#include "base/StringTable.h"

namespace {
constexpr char kDownloadFunction[] = "CHttp::DownHttpFile";

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
            return url + ":server answered " + failure.Detail() +
                   (failure.Status() == 407 ? " (the proxy refused its credentials)" : "");
        case NetFailure::DigestMismatch:
            return url + ":sha256 mismatch";
        case NetFailure::TooLarge:
            return url + ":longer than the expected size";
        case NetFailure::Contradicted:
            return url + ":claims another size: " + failure.Detail();
        case NetFailure::Insecure:
        case NetFailure::Untrusted:
            return url + ":" + failure.Detail();
        case NetFailure::WebPage:
            return url + ":answered with a web page, not the installer";
        case NetFailure::MoveFailed:
            return FileInUseText(destination);
        case NetFailure::KeepsChanging:
            return url + ":the file changed under every try";
        // Failures of the connection, and those told before: the next try resumes.
        case NetFailure::None:
        case NetFailure::BadUrl:
        case NetFailure::BadDigest:
        case NetFailure::FileInUse:
        case NetFailure::Unreachable:
        case NetFailure::Interrupted:
        case NetFailure::Stalled:
        case NetFailure::Transfer:
        case NetFailure::Stopped:
        case NetFailure::FileError:
        case NetFailure::Incomplete:
        case NetFailure::NoSpace:
        case NetFailure::FileChanged:
            return {};
    }
    return {};
}
}  // namespace

FailureTexts DownloadFailureTexts(const NetResult& failure, const std::string& destination) {
    // Failures of the program's own side: words of their own, most never logged.
    const NetFailure kind = failure.Failure();
    if (kind == NetFailure::BadUrl) return {LoadResString(IDS_BAD_URL), {}};
    if (kind == NetFailure::BadDigest) return {LoadResString(IDS_BAD_DIGEST), {}};
    if (kind == NetFailure::FileInUse) return {FileInUseText(destination), {}};
    if (kind == NetFailure::FileError) return {failure.Detail(), {}};
    if (kind == NetFailure::NoSpace) {
        std::string text = Format(LoadResString(IDS_DISK_FULL).c_str(), failure.Detail().c_str());
        return {text, text};
    }
    const std::string message = ReportedMessage(failure, destination);
    // Failures of the connection leave no text: the partial file is resumed by the next try.
    if (message.empty()) return {};
    std::string report =
        Except(failure.File(), kDownloadFunction, failure.Line(), "%s", message.c_str()).GetText();
    return {report, report};
}

std::string WebPageText(bool behindPortal) {
    return LoadResString(behindPortal ? IDS_PORTAL_SIGN_IN : IDS_WEB_PAGE);
}

std::string UserTextFor(const NetResult& failure, bool behindPortal) {
    switch (failure.Failure()) {
        // What the user can mend, or at least knows to wait for, gets words of its own.
        case NetFailure::NoSpace:
            return Format(LoadResString(IDS_DISK_FULL).c_str(), failure.Detail().c_str());
        case NetFailure::Untrusted:
            return LoadResString(IDS_UNTRUSTED_CERTIFICATE);
        case NetFailure::NotFound:
            return LoadResString(IDS_INSTALLER_NOT_FOUND);
        case NetFailure::WebPage:
            return WebPageText(behindPortal);
        case NetFailure::Refused:
            if (failure.Status() == 429 || failure.Status() == 503)
                return LoadResString(IDS_SERVER_BUSY);
            break;
        case NetFailure::None:
        case NetFailure::BadUrl:
        case NetFailure::BadDigest:
        case NetFailure::FileInUse:
        case NetFailure::Connect:
        case NetFailure::Unreachable:
        case NetFailure::Interrupted:
        case NetFailure::Stalled:
        case NetFailure::Transfer:
        case NetFailure::Stopped:
        case NetFailure::FileError:
        case NetFailure::Incomplete:
        case NetFailure::DigestMismatch:
        case NetFailure::MoveFailed:
        case NetFailure::TooLarge:
        case NetFailure::Contradicted:
        case NetFailure::Insecure:
        case NetFailure::FileChanged:
        case NetFailure::KeepsChanging:
            break;
    }
    return LoadResString(IDS_TRANSFER_FAILED);
}

std::string ExchangeLogText(const NetResult& failure, std::string_view what) {
    const std::string name(what);
    // Any other failure reads the same: the exchange brought no text.
    if (failure.Failure() == NetFailure::Refused)
        return name + ": the server answered " + failure.Detail();
    if (failure.Failure() == NetFailure::Insecure)
        return name + ": secure connection refused: " + failure.Detail();
    return name + ": not received: " + failure.Detail();
}
