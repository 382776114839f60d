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

// What a failure is called: the message of one that the server or the disk made, logged with
// where it was found (empty for the others), and the failure view's words for it.
struct Words {
    std::string message;
    int userText = IDS_TRANSFER_FAILED;
};

Words WordsOf(const NetResult& failure, const std::string& destination) {
    const std::string& url = failure.Url();
    switch (failure.Failure()) {
        case NetFailure::Connect:
            return {LoadResString(IDS_CONNECT_FAILED)};
        case NetFailure::NotFound:
            return {Format(LoadResString(IDS_FILE_NOT_FOUND).c_str(), url.c_str()),
                    IDS_INSTALLER_NOT_FOUND};
        case NetFailure::Refused: {
            const long status = failure.Status();
            return {url + ":server answered " + failure.Detail(),
                    status == 429 || status == 503 ? IDS_SERVER_BUSY : IDS_TRANSFER_FAILED};
        }
        case NetFailure::ProxyRefused:
            return {url + ":" + ProxyRefusalText(failure), IDS_PROXY_REFUSED};
        case NetFailure::DigestMismatch:
            return {url + ":sha256 mismatch"};
        case NetFailure::TooLarge:
            return {url + ":longer than the expected size"};
        case NetFailure::Contradicted:
            return {url + ":claims another size: " + failure.Detail()};
        case NetFailure::Insecure:
            return {url + ":" + failure.Detail()};
        case NetFailure::Untrusted:
            return {url + ":" + failure.Detail(), IDS_UNTRUSTED_CERTIFICATE};
        case NetFailure::WebPage:
            return {url + ":answered with a web page, not the installer", IDS_WEB_PAGE};
        case NetFailure::MoveFailed:
            return {FileInUseText(destination)};
        case NetFailure::KeepsChanging:
            return {url + ":the file changed under every try"};
        case NetFailure::NoSpace:
            return {{}, IDS_DISK_FULL};
        // Failures of the connection, and those told otherwise: the next try resumes.
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
    const std::string message = WordsOf(failure, destination).message;
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
    const int text = WordsOf(failure, {}).userText;
    // The one the user can mend alone: the words say how much room is needed.
    if (text == IDS_DISK_FULL)
        return Format(LoadResString(IDS_DISK_FULL).c_str(), failure.Detail().c_str());
    if (text == IDS_WEB_PAGE) return WebPageText(behindPortal);
    return LoadResString(text);
}

std::string ExchangeLogText(const NetResult& failure, std::string_view what) {
    const std::string name(what);
    // Any other failure reads the same: the exchange brought no text.
    if (failure.Failure() == NetFailure::Refused)
        return name + ": the server answered " + failure.Detail();
    if (failure.Failure() == NetFailure::Insecure)
        return name + ": secure connection refused: " + failure.Detail();
    if (failure.Failure() == NetFailure::ProxyRefused)
        return name + ": " + ProxyRefusalText(failure);
    return name + ": not received: " + failure.Detail();
}
