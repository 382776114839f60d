#include "app/ResString.h"
#include "download/WorkerEvents.h"
#include "download/WorkerHost.h"

bool CWorkerHost::CheckNetwork() {
    if (IsNetworkAlive()) return true;
    const std::string text = LoadResString(107);
    MessageBox(text, "提示", MB_OK_ICONEXCLAMATION_SETFOREGROUND);
    SendDownFail(GetSafeHwnd(), text);
    return false;
}
