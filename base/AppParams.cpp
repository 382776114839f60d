#include "base/AppParams.h"

std::string CAppParams::Get(const std::string& name) {
    std::lock_guard lock(m_mutex);
    return m_values[name];
}

void CAppParams::Set(const std::string& name, const std::string& value) {
    std::lock_guard lock(m_mutex);
    m_values[name] = value;
}

bool CAppParams::Contains(const std::string& name) const {
    std::lock_guard lock(m_mutex);
    return m_values.count(name) != 0;
}

std::vector<std::pair<std::string, std::string>> CAppParams::Entries() const {
    std::lock_guard lock(m_mutex);
    return {m_values.begin(), m_values.end()};
}
