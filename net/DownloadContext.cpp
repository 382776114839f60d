#include "net/DownloadContext.h"

#include "base/DiagLog.h"

void DownloadContext::LogOnce(const std::string& url, const std::string& kind,
                              const std::string& words) const {
    if (!history.FirstTime(url, kind) || logPath.empty()) return;
    DiagLog(logPath.c_str(), "%s:%s", url.c_str(), words.c_str());
}
