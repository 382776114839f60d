#include "app/DownloaderApp.h"

#include "platform/ModulePath.h"
#include "platform/SingleInstance.h"

CDownloaderApp::CDownloaderApp() : m_pszAppName(GetAppNameFromPath(GetModulePath())) {}

bool CDownloaderApp::FindRunningInstance(const std::string& name) {
    if (m_instanceMarker.Held() || m_instanceMarker.TryAcquire(InstanceMarkerPath(name)))
        return false;
    // The marker exists: another instance is refused only while its window carries the tag.
    return CFileLock::IsHeldElsewhere(WindowTagPath(name));
}
