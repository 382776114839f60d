#pragma once
// The two single-instance marks, both named after the application: the instance marker,
// held for the life of the process, and the window tag, held while the main window exists.
// A start is refused only while another process holds both.

#include <string>

#include "platform/FileLock.h"

std::string InstanceMarkerPath(const std::string& appName);
std::string WindowTagPath(const std::string& appName);

// The window tag of one window: set when the window is created, removed when it is destroyed.
class CWindowTag {
  public:
    void Set(const std::string& appName) { m_lock.Acquire(WindowTagPath(appName), kPatience); }
    void Remove() { m_lock.Release(); }
    bool IsSet() const { return m_lock.Held(); }

  private:
    // Long enough to outlast another start's probe of the tag, short enough not to delay a
    // window whose tag is really held elsewhere.
    static constexpr std::chrono::milliseconds kPatience{200};
    CFileLock m_lock;
};
