#include "net/DownloadContext.h"

#include "base/DiagLog.h"

void DownloadContext::LogNonFile(const std::string& path, const std::string& found,
                                 bool cleared) const {
    if (logPath.empty() || found.empty()) return;
    DiagLog(logPath.c_str(), "%s: %s stood there; %s", path.c_str(), found.c_str(),
            cleared ? "a fresh file takes its place" : "it cannot be removed");
}

void DownloadContext::LogOnce(const std::string& url, const std::string& kind,
                              const std::string& words) const {
    if (!history.FirstTime(url, kind) || logPath.empty()) return;
    DiagLog(logPath.c_str(), "%s:%s", url.c_str(), words.c_str());
}
