#include <gtk/gtk.h>

#include "app/BuildAppParams.h"
#include "app/DownloaderApp.h"
#include "platform/PresentRequest.h"
#include "platform/StateFolder.h"
#include "ui/DesktopSession.h"
#include "ui/DownloaderDlg.h"

bool CDownloaderApp::InitInstance() {
    std::string modulePath;
    BuildAppParams(*this, modulePath);
    if (FindRunningInstance(m_pszAppName)) {
        // Refused silently; the running window comes forward instead.
        SendPresentRequest(PresentSocketPath(m_pszAppName));
        return false;
    }
    m_stateFolder = GetUserStateFolder(m_pszAppName);

    if (!OpenDesktopSession()) {
        g_printerr("%s: cannot open a display\n", m_pszAppName.c_str());
        m_nExitCode = 1;
        return false;
    }
    CDownloaderDlg dlg(State());
    dlg.DoModal();
    return false;
}
