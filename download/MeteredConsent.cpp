#include "base/Format.h"
#include "base/ResString.h"
#include "base/StringTable.h"
#include "download/WorkerHost.h"

namespace {
constexpr std::uint64_t kAskAboveBytes = 10ull * 1024 * 1024;
}

bool CWorkerHost::ConfirmMeteredDownload(const std::function<std::uint64_t()>& remaining) {
    if (m_meteredAsked || !IsNetworkMetered()) return true;
    const std::uint64_t bytes = remaining();
    if (bytes <= kAskAboveBytes) return true;
    m_meteredAsked = true;
    const std::string size = Format("%.1f MB", static_cast<double>(bytes) / (1024.0 * 1024.0));
    m_meteredAgreed = AskOkCancel(Format(LoadResString(IDS_METERED_ASK).c_str(), size.c_str()),
                                  LoadResString(IDS_NOTICE_CAPTION));
    return m_meteredAgreed;
}
