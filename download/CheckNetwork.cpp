#include "base/ResString.h"
#include "base/StringTable.h"
#include "download/WorkerEvents.h"
#include "download/WorkerHost.h"

bool CWorkerHost::CheckNetwork() {
    if (IsNetworkAlive()) return true;
    const std::string text = LoadResString(IDS_NETWORK_FAILED);
    MessageBox(text, LoadResString(IDS_NOTICE_CAPTION), MB_OK_ICONEXCLAMATION_SETFOREGROUND);
    SendDownFail(GetSafeHwnd(), text);
    return false;
}
