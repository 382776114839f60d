#pragma once
// The process-wide table of named text values: where the program lives, where temporary
// files and the log go, the product key and channel, and where the installer was stored.
// Read on the window thread and written by workers, so every access takes the one mutex.

#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

class CAppParams {
  public:
    // The value of name; an absent name is added with the empty value.
    std::string Get(const std::string& name);
    void Set(const std::string& name, const std::string& value);
    // Whether name is in the table, without adding it.
    bool Contains(const std::string& name) const;
    // All entries in name order.
    std::vector<std::pair<std::string, std::string>> Entries() const;

  private:
    mutable std::mutex m_mutex;
    std::map<std::string, std::string> m_values;  // byte order: case-sensitive, no folding
};
