#include <gtk/gtk.h>

#include "app/BuildAppParams.h"
#include "app/DownloaderApp.h"
#include "ui/DownloaderDlg.h"

bool CDownloaderApp::InitInstance() {
    std::string modulePath;
    BuildAppParams(*this, modulePath);
    if (FindRunningInstance(m_pszAppName)) return false;  // refused silently

    if (!gtk_init_check(nullptr, nullptr)) {
        g_printerr("%s: cannot open a display\n", m_pszAppName.c_str());
        return false;
    }
    CDownloaderDlg dlg(State());
    dlg.DoModal();
    return false;
}
