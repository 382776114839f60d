#pragma once
// What a client learns of the addresses it downloads from, kept for its run and handed to each
// download it makes: how many connections each host still allows, how often the file at an
// address was started again because it changed, which hosts cannot be trusted to honour
// If-Range, and which refusals were logged already (each kind once per address).

#include <map>
#include <set>
#include <string>
#include <utility>

class CAddressHistory {
  public:
    // A file that changes under every try is given up after this many starts from byte 0.
    static constexpr int kMaxRestarts = 3;

    // The connections host allows from now on; ceiling until something lowered it.
    int& ConnectionLimit(const std::string& host, int ceiling) {
        return m_connectionLimits.try_emplace(host, ceiling).first->second;
    }
    // Counts one more start from byte 0 of the file at url; false once it would exceed
    // kMaxRestarts.
    bool CountRestart(const std::string& url) { return ++m_restarts[url] <= kMaxRestarts; }
    // A host that answered a range asked with If-Range without any validator: from now on it
    // serves one connection, without If-Range, its overlap always compared.
    void DistrustRanges(const std::string& host) { m_distrusted.insert(host); }
    bool RangesDistrusted(const std::string& host) const { return m_distrusted.count(host) > 0; }
    // True the first time a refusal of this kind is told for url.
    bool FirstTime(const std::string& url, const std::string& kind) {
        return m_told.insert({url, kind}).second;
    }

  private:
    std::map<std::string, int> m_connectionLimits;
    std::map<std::string, int> m_restarts;
    std::set<std::string> m_distrusted;
    std::set<std::pair<std::string, std::string>> m_told;
};
