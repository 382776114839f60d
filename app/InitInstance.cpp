#include <gtk/gtk.h>

#include "app/BuildAppParams.h"
#include "app/DownloaderApp.h"
#include "platform/PresentRequest.h"
#include "platform/StateFolder.h"
#include "ui/DesktopSession.h"
#include "ui/DownloaderDlg.h"
#include "ui/StartupTrace.h"

bool CDownloaderApp::InitInstance() {
    TraceMoment("start-up began");
    std::string modulePath;
    BuildAppParams(*this, modulePath);
    if (FindRunningInstance(m_pszAppName)) {
        // Refused silently; the running window comes forward instead.
        SendPresentRequest(PresentSocketPath(m_pszAppName));
        return false;
    }
    m_stateFolder = GetUserStateFolder(m_pszAppName);

    // The update information is asked for while the display and the window come up.
    CDownloaderDlg dlg(State());
    dlg.StartFirstWorker();
    if (!OpenDesktopSession()) {
        g_printerr("%s: cannot open a display\n", m_pszAppName.c_str());
        m_nExitCode = 1;
        return false;  // the window's end stops its worker
    }
    dlg.DoModal();
    return false;
}
