#include "ui/AdvertFetch.h"

#include <optional>

#include "download/AdvertReply.h"
#include "net/Http.h"

CAdvertFetch::~CAdvertFetch() {
    m_stop.store(1);
    if (m_thread.joinable()) m_thread.join();
}

void CAdvertFetch::Start(std::string url, std::string agent, std::shared_ptr<CProxyState> proxy,
                         Deliver deliver) {
    if (m_thread.joinable()) return;
    m_thread = std::thread([this, url = std::move(url), agent = std::move(agent),
                            proxy = std::move(proxy), deliver = std::move(deliver)] {
        std::string answer;
        std::optional<std::string> unusedHeader;
        {
            // No log: an advertisement that does not come is nobody's failure.
            CHttp http(agent, m_stop, "");
            http.SetTransferLimits({.connectTimeoutSeconds = kAdvertSeconds,
                                    .stallSeconds = kAdvertSeconds,
                                    .exchangeSeconds = kAdvertSeconds});
            http.SetProxyState(proxy);
            if (!http.FetchRawText(url, kMaxAdvertBytes, "Content-Type", answer, unusedHeader).Ok())
                return;
        }
        if (m_stop.load()) return;
        if (std::optional<std::string> fragment = AdvertFragment(answer)) deliver(*fragment);
    });
}
